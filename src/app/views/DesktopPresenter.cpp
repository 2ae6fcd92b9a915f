#include "app/views/DesktopPresenter.h"

#include "core/L10n.h"

namespace hollin {

DesktopPresenter::DesktopPresenter(const ViewState& initial, PresenterActions actions,
                                   std::function<WallTime()> clock)
    : actions_(std::move(actions)),
      window_(std::make_unique<AnalysisWindow>(initial, actions_)), last_(initial) {
  if (QSystemTrayIcon::isSystemTrayAvailable())
    menu_ = std::make_unique<StatusMenu>(initial, actions_, [this] { showAnalysis(); },
                                         std::move(clock), installedSystemMonitor());
}

DesktopPresenter::~DesktopPresenter() = default;

void DesktopPresenter::render(const ViewState& state) {
  last_ = state;
  if (menu_) menu_->render(state);
  window_->render(state);
}

void DesktopPresenter::showAnalysis() {
  window_->show();
  window_->raise();
  window_->activateWindow();
  window_->render(last_);
  if (actions_.windowShown) actions_.windowShown();
}

PresenterReadout DesktopPresenter::readout() const {
  PresenterReadout readout;
  if (menu_) {
    readout.menuBarIconVisible = menu_->tray()->isVisible() && !menu_->tray()->icon().isNull();
    readout.menuBarToolTip = menu_->toolTip();
    readout.statusMenuTitle = menu_->levelTitle();
    readout.statusMenuText = menu_->statusRow()->text().toStdString();
  }
  readout.analysisStatusText = (window_->statusTitle()->text() + "\n" +
                                window_->statusExplanation()->text()).toStdString();
  return readout;
}

}  // namespace hollin
