// Hollin's ordinary role: everything the running program is made of, built in one place in
// the order it depends on. main() only answers the command line and hands over to a running
// instance; tests build this same object graph.
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/views/Presenter.h"
#include "core/setup/SetupGuide.h"
#include "core/support/FeedbackReport.h"

namespace hollin {

class AppController;
class DesktopPresenter;
class DBusNotifier;
class LoggingPresenter;
class LoginMonitor;
class QtSettings;
class SetupGuide;
class SupportActions;
class TerminationSignals;

// What the command line alone answers: --help and --version print and end, an unknown switch
// is refused. Nothing for an ordinary start.
std::optional<int> answerCommandLine(const std::vector<std::string>& arguments);

// The arguments that are URLs of ours, in order (a desktop opening "hollin://analysis").
QStringList urlArguments(const std::vector<std::string>& arguments);

class Application final : public QObject {
  Q_OBJECT
 public:
  // `desktop`: build the tray icon and the window at start (false without a display).
  // `configuring`: the set-up command ran first, so this start shows no first-launch guide.
  explicit Application(bool desktop, bool configuring = false);
  ~Application() override;

  // Starts everything and opens the URLs a desktop passed.
  void start(const QStringList& urls);
  // Every way out ends here: the event loop ends with status 0, without asking the windows
  // (a window that only hides when closed must not hold a quit back).
  static void quit();

  AppController& controller() const { return *controller_; }
  DesktopPresenter* desktop() const { return desktop_.get(); }
  // The first-launch guide, or null before it was first shown.
  SetupGuide* setupGuide() const { return guide_.get(); }
  SupportActions& support() const { return *support_; }

  // Shows the first-launch guide (built on first use) with its statuses brought up to date.
  void showSetup();
  // What a feedback draft says about this computer and this run, gathered now.
  FeedbackReport::Environment feedbackEnvironment() const;

 private:
  void updateSetupGuide();
  void setupAction(SetupAction action);
  void finishSetup();

  bool desktopWanted_;
  bool configuring_;
  PresenterActions actions_;
  std::unique_ptr<TerminationSignals> termination_;
  std::unique_ptr<QtSettings> settings_;
  std::unique_ptr<DBusNotifier> notifier_;
  std::unique_ptr<DesktopPresenter> desktop_;
  std::unique_ptr<LoggingPresenter> logging_;
  std::unique_ptr<AppController> controller_;
  std::unique_ptr<LoginMonitor> login_;
  std::unique_ptr<SetupGuide> guide_;
  std::unique_ptr<SupportActions> support_;
};

// The whole program: command line, single instance, the application and its event loop.
int runHollin(int argc, char** argv);

}  // namespace hollin
