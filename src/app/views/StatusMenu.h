#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <optional>

#include "app/views/Presenter.h"
#include "app/views/SystemMonitor.h"

namespace hollin {

// The tray icon and its status menu. The icon shows the level colour; its tool tip stands in
// for the hover card, since tray hosts send no pointer enter or exit events to the application.
class StatusMenu : public QObject {
  Q_OBJECT
 public:
  StatusMenu(const ViewState& initial, PresenterActions actions,
             std::function<void()> showAnalysis, std::function<WallTime()> clock,
             std::optional<SystemMonitorApp> monitor, QObject* parent = nullptr);

  void render(const ViewState& state);
  // The menu's rows are refreshed just before it opens (the resume row's end time).
  void prepareToOpen();

  QMenu* menu() const { return menu_; }
  QAction* statusRow() const { return statusRow_; }
  QAction* resumeRow() const { return resume_; }
  QAction* monitorRow() const { return monitor_; }
  QSystemTrayIcon* tray() const { return tray_; }
  std::string toolTip() const { return toolTip_; }
  std::string levelTitle() const { return levelTitle_; }

 private:
  void updateMenuBar(const ShownStatus& status);
  QString text(const LocalizedMessage& message) const;

  std::string language_;
  PresenterActions actions_;
  std::function<WallTime()> clock_;
  std::optional<SystemMonitorApp> monitorApp_;
  QMenu* menu_;
  QSystemTrayIcon* tray_;
  QAction* statusRow_ = nullptr;
  QAction* resume_ = nullptr;
  QAction* monitor_ = nullptr;
  WallTime mutedUntil_ = distantPast;
  std::optional<StatusColour> shownColour_;
  std::string toolTip_;
  std::string levelTitle_;
};

}  // namespace hollin
