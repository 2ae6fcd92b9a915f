// The seam every subsystem plugs into. The controller keeps the order of the tick and walks
// its subsystems, in the order they were registered, at each step:
//
//   tick ──► tickStarting ─► [sampling thread: the base take, then each reader()] ─► evaluate
//        ─► contribute ─► present ─► (views) ─► recordWriting ─► record ─► (health.json)
//        ─► metrics ─► (the metrics export, when one is set up)
//
// A subsystem brings what it reads during the take, what it decides on the main thread, what
// it shows and its keys of the self-health record; it touches nothing of the others'. Slow or
// blocking work of its own runs on a SerialQueue it owns and comes back through `redraw`.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "core/metrics/MetricsText.h"
#include "core/scope/AccountScope.h"
#include "core/scope/Settings.h"
#include "core/snapshot/Snapshot.h"
#include "core/tick/Moment.h"
#include "core/ui/Screen.h"

namespace hollin {

class Notifier;

// The settings panel's controls that act on a subsystem's own state.
enum class SettingsControl {
  login,    // the login-start switch
  sharing,  // the sharing switch
  setUp,    // "自動起動を設定" / "自動起動と共有を設定"
};

// What every subsystem may use for the whole run. Main thread only.
struct Services {
  Notifier* notifier = nullptr;  // null: nothing is posted, notices are only logged
  Settings* settings = nullptr;
  std::function<void(const std::string&)> log;  // one line for the diagnostic log
  std::function<Moment()> moment;               // the controller's moment now, with every fact
  std::function<void()> redraw;                 // render and write the self-health record
  // This account's own report changed outside a take (a responsiveness check finished): every
  // subsystem's ownReportChanged runs with the moment as it is now.
  std::function<void()> reportChanged;
  // A modal alert; the index of the button chosen, or nothing where no alert can be shown.
  std::function<std::optional<int>(const AlertView&)> ask;
  std::function<void()> showAnalysis;           // bring the analysis window to the front
  std::function<void(const std::string& id, const DocumentView&)> showDocument;  // a window of its own
  // Runs `job` on the sampling thread, between takes, where a reader's state may be touched;
  // then `then` (may be empty) on the main thread, before any take queued after the job is
  // handed back.
  std::function<void(std::function<void()> job, std::function<void()> then)> onSamplingQueue;
  std::optional<std::string> dataFolder;        // where history files live; absent: none are kept
  std::optional<std::string> widgetFolder;      // the widgets' shared folder; absent: no summary
  std::uint32_t uid = 0;
  AccountScope scope;
};

class Subsystem {
 public:
  virtual ~Subsystem() = default;

  // Start-up, once, before the first tick: event sources, first state refreshes.
  virtual void start() {}
  // What this subsystem adds to each take, or null. Used on the sampling thread only.
  virtual std::shared_ptr<SnapshotReader> reader() { return nullptr; }
  // Every tick, before the take.
  virtual void tickStarting(const Moment&) {}
  // A new snapshot arrived: policies and notices. The moment has no subsystem facts yet.
  virtual void evaluate(const Moment&) {}
  // Adds the facts the other subsystems read, before every render and every record.
  virtual void contribute(Moment&) {}
  // Fills this subsystem's parts of the screen: cards, notes, its tabs' labels and rows.
  virtual void present(Screen&, const Moment&) {}
  // The self-health record is about to be written with a snapshot held: what leaves the
  // program with it (the widget summary) describes the same snapshot and the status on screen.
  virtual void recordWriting(const Moment&, const StatusTexts& /*shown*/) {}
  // Writes this subsystem's keys of the self-health record.
  virtual void record(nlohmann::json&, const Moment&) const {}
  // Adds this subsystem's series to the metrics export, for the same moment as the record.
  virtual void metrics(MetricsText&, const Moment&) const {}
  // A card's button was pressed.
  virtual void cardAction(CardSlot, const Moment&) {}
  // A settings-panel control was worked; `on` is a switch's new state.
  virtual void settingsControl(SettingsControl, bool /*on*/, const Moment&) {}
  // See Services::reportChanged.
  virtual void ownReportChanged(const Moment&) {}
  // A tab was chosen (`previous` is the one selected before).
  virtual void tabSelected(AnalysisTab, AnalysisTab) {}
  // The machine goes to sleep (true) or woke up (false).
  virtual void sleepChanged(bool) {}
  // The user's session became active or was left for another.
  virtual void sessionActiveChanged(bool) {}
  // The will-terminate steps.
  virtual void stop() {}
};

}  // namespace hollin
