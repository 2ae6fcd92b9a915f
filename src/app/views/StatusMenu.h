#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>

#include "app/views/Presenter.h"

namespace hollin {

// The status menu and the tray icon it hangs from. The menu is built once and only retitled;
// the icon is shown once the desktop has a tray. The icon's tool tip stands in for the hover
// card, since tray hosts send the application no pointer enter or exit.
class StatusMenu : public QObject {
  Q_OBJECT
 public:
  StatusMenu(const ViewSetup& setup, const PresenterActions& actions, std::function<void()> showAnalysis,
             QObject* parent = nullptr);
  ~StatusMenu() override;

  void display(const StatusTexts& status);
  // Puts the icon into the tray; the desktop must have one.
  void showIcon();
  // The menu's rows are refreshed just before it opens (the resume row's end time).
  void prepareToOpen();

  QMenu* menu() const { return menu_; }
  QAction* statusRow() const { return statusRow_; }
  QAction* resumeRow() const { return resume_; }
  QAction* monitorRow() const { return monitor_; }
  QAction* quitRow() const { return quit_; }
  QAction* feedbackRow() const { return feedback_; }
  QAction* updateRow() const { return update_; }
  QSystemTrayIcon* tray() const { return tray_; }

 private:
  QString text(const LocalizedMessage& message) const;

  std::string language_;
  PresenterActions actions_;
  QMenu* menu_;
  QSystemTrayIcon* tray_;
  QAction* statusRow_ = nullptr;
  QAction* resume_ = nullptr;
  QAction* monitor_ = nullptr;
  QAction* quit_ = nullptr;
  QAction* feedback_ = nullptr;
  QAction* update_ = nullptr;
  std::optional<StatusTexts> shown_;
};

}  // namespace hollin
