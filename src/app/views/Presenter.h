#pragma once

#include <functional>
#include <string>

#include "core/ui/AnalysisTab.h"
#include "core/ui/ViewState.h"

namespace hollin {

// What the user asked for through the menus and the window. The controller fills in the ones
// it handles; an empty function leaves its item inert. Each runs on the main thread.
struct PresenterActions {
  std::function<void()> refresh;                 // "今すぐ更新"
  std::function<void()> quit;                    // "このアカウントの監視を終了"
  std::function<void(int seconds)> mute;         // one of the four mute choices
  std::function<void()> resume;                  // "通知を再開"
  std::function<void(AnalysisTab)> tabChanged;   // a segment or a View-menu item was chosen
  std::function<void()> requestNotifications;    // "通知を許可…"
  std::function<void()> requestAccessibility;    // "応答確認の許可…"
  std::function<void()> showSetup;               // "設定手順"
  std::function<void()> configureMonitoring;     // "自動起動を設定"
  std::function<void(bool on)> toggleLogin;      // the login-start checkbox
  std::function<void(bool on)> toggleSharing;    // the sharing checkbox
  std::function<void()> showHelp;                // "ヘルプ"
  std::function<void()> windowShown;             // the analysis window came to the front
};

// What the self-health record reports about the status item, the menu and the window.
// The hover card never shows on Linux tray hosts (they send no pointer enter or exit events),
// so its counters stay 0 and its tracking is never installed.
struct PresenterReadout {
  std::string menuBarText;     // the tray entry has no title, only the icon
  bool menuBarIconVisible = false;
  std::string menuBarToolTip;
  std::string statusMenuTitle;  // the displayed level's title
  std::string statusMenuText;   // the status row of the menu
  bool menuBarHoverInstalled = false;
  int menuBarHoverEnteredCount = 0;
  int menuBarHoverShownCount = 0;
  bool menuBarHoverVisible = false;
  std::string analysisStatusText;  // window title line, a line feed, the explanation
};

// The seam between the controller and whatever shows its state: the tray icon with the status
// menu and the analysis window on a desktop, a log line when there is no display.
class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows the state. Called after every tick, on tab changes and when the window is shown.
  virtual void render(const ViewState& state) = 0;
  // Brings the analysis window to the front (and renders it from the last state).
  virtual void showAnalysis() = 0;
  // What is on screen now, for the self-health record.
  virtual PresenterReadout readout() const { return {}; }
};

}  // namespace hollin
