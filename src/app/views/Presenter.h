// The seam between the controller and whatever shows its state: the tray icon with the status
// menu and the analysis window on a desktop, log lines without one.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/scope/AccountScope.h"
#include "core/ui/AnalysisTab.h"
#include "core/ui/Screen.h"

namespace hollin {

// What the user asked for through the menus and the window, and what the views tell the
// controller. Each runs on the main thread; an empty function leaves its item inert.
struct PresenterActions {
  std::function<void()> refresh;                 // "今すぐ更新"
  std::function<void()> quit;                    // "このアカウントの監視を終了", Ctrl+Q
  std::function<void(int seconds)> mute;         // one of the four mute choices
  std::function<void()> resume;                  // "通知を再開"
  std::function<void(AnalysisTab)> tabChanged;   // a segment or a View-menu item was chosen
  std::function<void()> requestNotifications;    // "通知を許可…"
  std::function<void()> requestAccessibility;    // "応答確認の許可…"
  std::function<void()> showSetup;               // "設定手順", "初回設定の案内…"
  std::function<void()> configureMonitoring;     // "自動起動を設定"
  std::function<void(bool on)> toggleLogin;      // the login-start checkbox
  std::function<void(bool on)> toggleSharing;    // the sharing checkbox
  std::function<void()> showHelp;                // "ヘルプ"
  std::function<void()> showStatusHelp;          // a row of "状態の見方": help on the levels
  std::function<void()> openSystemMonitor;       // "アクティビティモニタを開く"; empty: none installed
  std::function<void()> sendFeedback;            // "ご意見・不具合を送る…"
  std::function<void()> checkForUpdate;          // "アップデートを確認…"
  // The resume row's title when the menu opens, or nothing while notices are not muted.
  std::function<std::optional<std::string>()> resumeTitle;
  std::function<void(bool shown)> windowShown;   // the analysis window appeared or was hidden
  std::function<void(bool shown)> trayShown;     // the tray icon appeared (or went)
  std::function<void(CardSlot)> cardAction;      // a card's button ("SSDの健康履歴…")
};

// What the views are built with and keep for the whole run.
struct ViewSetup {
  std::string language;  // of every text, as the process renders it
  AccountScope scope;    // the order of the tabs
  std::string version;
  std::string build;
};

class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows a decided screen. Called after every render that has a snapshot.
  virtual void display(const Screen& screen) = 0;
  // Brings the analysis window to the front.
  virtual void showAnalysis() = 0;
  // Shows a document in its own window, one window per `id`, brought to the front.
  virtual void showDocument(const std::string& id, const DocumentView& document) = 0;
  // Runs a modal alert; the index of the button chosen, or nothing where none can be shown.
  virtual std::optional<int> ask(const AlertView&) { return std::nullopt; }
};

}  // namespace hollin
