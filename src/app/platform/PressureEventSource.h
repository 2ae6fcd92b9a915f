// Kernel memory-pressure events, delivered on the thread that owns the source (the main
// thread). The watching itself is the native layer's; this only carries its answers over.
#pragma once

#include <QObject>

#include <thread>

#include "core/memory/MemoryNotice.h"

struct HLPressureWatch;

namespace hollin {

enum class PressureSourceMode { none, triggers, polling };

// "psi-triggers", "psi-polling" or "none", for the log.
const char* modeName(PressureSourceMode mode);

class PressureEventSource : public QObject {
  Q_OBJECT
 public:
  explicit PressureEventSource(QObject* parent = nullptr);
  ~PressureEventSource() override;  // stops and joins the event thread

  // Opens the watch and starts its thread; starting a started source does nothing.
  PressureSourceMode start();
  void stop();
  PressureSourceMode mode() const { return mode_; }

 signals:
  // Only on a change of level; the baseline before the first event is normal.
  void pressureEvent(hollin::Pressure pressure);

 private:
  HLPressureWatch* watch_ = nullptr;
  PressureSourceMode mode_ = PressureSourceMode::none;
  std::thread thread_;
};

}  // namespace hollin
