#include "app/views/DesktopPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

#include <algorithm>

#include "app/views/Typography.h"

namespace hollin {

DesktopPresenter::DesktopPresenter(const ViewSetup& setup, PresenterActions actions)
    : setup_(setup), actions_(std::move(actions)) {
  menu_ = std::make_unique<StatusMenu>(setup, actions_, [this] { showAnalysis(); });
  trayLook_.setInterval(trayLookInterval);
  connect(&trayLook_, &QTimer::timeout, this, [this] {
    if (lookForTray()) trayLook_.stop();
  });
}

AnalysisWindow* DesktopPresenter::window() {
  if (window_) return window_.get();
  // The window tells the controller when it appears, so a hidden window costs no rendering.
  PresenterActions windowActions = actions_;
  windowActions.windowShown = [this](bool shown) {
    if (shown && last_) window_->display(*last_);
    if (actions_.windowShown) actions_.windowShown(shown);
  };
  window_ = std::make_unique<AnalysisWindow>(setup_, windowActions);
  return window_.get();
}

DesktopPresenter::~DesktopPresenter() = default;

void DesktopPresenter::start() {
  if (lookForTray()) return;
  if (actions_.trayShown) actions_.trayShown(false);
  showAnalysis();
  trayLook_.start();
}

bool DesktopPresenter::lookForTray() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  menu_->showIcon();
  if (actions_.trayShown) actions_.trayShown(true);
  return true;
}

void DesktopPresenter::display(const Screen& screen) {
  last_ = screen;
  menu_->display(screen.status);
  if (window_ && window_->isVisible()) window_->display(screen);
}

void DesktopPresenter::showDocument(const std::string& id, const DocumentView& document) {
  auto& window = documents_[id];
  if (!window) window = std::make_unique<DocumentWindow>(document);
  window->show(document);
}

std::optional<int> DesktopPresenter::ask(const AlertView& view) {
  auto box = Typography::alert(QString::fromStdString(view.title), QString::fromStdString(view.text));
  std::vector<QAbstractButton*> buttons;
  for (std::size_t i = 0; i < view.buttons.size(); ++i) {
    // The first button is the default; the last of several answers Escape.
    const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
    buttons.push_back(box->addButton(QString::fromStdString(view.buttons[i]), role));
  }
  if (!buttons.empty()) box->setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
  if (buttons.size() > 1) box->setEscapeButton(buttons.back());
  QApplication::setActiveWindow(box.get());
  box->exec();
  const auto chosen = std::find(buttons.begin(), buttons.end(), box->clickedButton());
  if (chosen == buttons.end()) return std::nullopt;
  return int(chosen - buttons.begin());
}

void DesktopPresenter::showHelp(std::optional<int> section) {
  if (!help_) help_ = std::make_unique<HelpWindow>(setup_.language);
  help_->show(section);
}

DocumentWindow* DesktopPresenter::document(const std::string& id) const {
  const auto found = documents_.find(id);
  return found == documents_.end() ? nullptr : found->second.get();
}

void DesktopPresenter::showAnalysis() {
  window()->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace hollin
