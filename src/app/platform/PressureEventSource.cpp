#include "app/platform/PressureEventSource.h"

#include "native/PressureEvents.h"

namespace hollin {

const char* modeName(PressureSourceMode mode) {
  switch (mode) {
    case PressureSourceMode::triggers: return "psi-triggers";
    case PressureSourceMode::polling: return "psi-polling";
    case PressureSourceMode::none: break;
  }
  return "none";
}

PressureEventSource::PressureEventSource(QObject* parent) : QObject(parent) {}

PressureEventSource::~PressureEventSource() { stop(); }

PressureSourceMode PressureEventSource::start() {
  if (watch_) return mode_;
  std::int32_t mode = HL_PRESSURE_NONE;
  watch_ = hl_pressure_watch_open(&mode);
  mode_ = mode == HL_PRESSURE_TRIGGERS  ? PressureSourceMode::triggers
          : mode == HL_PRESSURE_POLLING ? PressureSourceMode::polling
                                        : PressureSourceMode::none;
  if (!watch_) return mode_;
  thread_ = std::thread([this, watch = watch_] {
    while (const std::int32_t level = hl_pressure_watch_next(watch)) {
      const Pressure pressure = pressureFromKernelLevel(level);
      // Posted to this object's thread; dropped with the object if it is destroyed first.
      QMetaObject::invokeMethod(this, [this, pressure] { emit pressureEvent(pressure); }, Qt::QueuedConnection);
    }
  });
  return mode_;
}

void PressureEventSource::stop() {
  if (!watch_) return;
  hl_pressure_watch_stop(watch_);
  if (thread_.joinable()) thread_.join();
  hl_pressure_watch_close(watch_);
  watch_ = nullptr;
}

}  // namespace hollin
