// Kernel memory-pressure events from PSI (/proc/pressure/memory), delivered on the thread that
// owns the source (the main thread).
#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace hollin {

// The level an event carries, as the pressure-event handler reads its mask.
enum class PressureEventLevel { normal, warning, critical };

enum class PressureSourceMode {
  triggers,  // the kernel wakes us through two PSI triggers
  polling,   // triggers refused: the pressure file is read on a fixed interval
  none,      // no PSI on this machine: no events at all
};

// "psi-triggers", "psi-polling" or "none", for the log and the self-health diagnostics.
const char* modeName(PressureSourceMode mode);

// Trigger mode: the level of the latest trigger that fired within quietPeriod, critical first;
// normal once neither fired for that long. Pure so the step-down rule can be tested.
struct TriggerTimes {
  std::optional<std::chrono::steady_clock::time_point> warning, critical;
};
PressureEventLevel levelFromTriggers(const TriggerTimes& fired, std::chrono::steady_clock::time_point now,
                                     std::chrono::milliseconds quietPeriod);

class PressureEventSource : public QObject {
  Q_OBJECT
 public:
  struct Options {
    std::string root = "/";  // the pressure and memory files are read under it
    std::chrono::milliseconds pollInterval{2000};
    std::chrono::milliseconds quietPeriod{10000};  // trigger mode: no firing this long → normal
  };

  explicit PressureEventSource(Options options, QObject* parent = nullptr);
  ~PressureEventSource() override;  // stops and joins the event thread

  // Opens the source and starts its thread; the mode says which way it ended up. Starting a
  // started source does nothing.
  PressureSourceMode start();
  void stop();
  PressureSourceMode mode() const { return mode_; }

 signals:
  // Only on a change of level; the baseline before the first event is normal.
  void pressureEvent(hollin::PressureEventLevel level);

 private:
  bool openTriggers();
  void runTriggers();
  void runPolling();
  std::optional<PressureEventLevel> derivedLevel() const;
  void deliver(PressureEventLevel level);
  void closeAll();

  Options options_;
  PressureSourceMode mode_ = PressureSourceMode::none;
  int warningFd_ = -1, criticalFd_ = -1;
  int wakeFd_ = -1;  // eventfd that tells the thread to stop
  PressureEventLevel last_ = PressureEventLevel::normal;  // event thread only
  std::thread thread_;
};

}  // namespace hollin
