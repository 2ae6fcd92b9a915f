#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "app/views/AnalysisWindow.h"
#include "app/views/Presenter.h"
#include "app/views/StatusMenu.h"

namespace hollin {

// The presenter of a desktop session: the tray icon with its status menu (when the session
// has a tray) and the analysis window, both built once and only updated afterwards.
class DesktopPresenter : public QObject, public Presenter {
  Q_OBJECT
 public:
  // `initial` gives the language, the scope and the version; `clock` the wall time.
  DesktopPresenter(const ViewState& initial, PresenterActions actions,
                   std::function<WallTime()> clock = [] { return std::chrono::system_clock::now(); });
  ~DesktopPresenter() override;

  void render(const ViewState& state) override;
  void showAnalysis() override;
  PresenterReadout readout() const override;

  AnalysisWindow* window() const { return window_.get(); }
  StatusMenu* statusMenu() const { return menu_.get(); }

 private:
  PresenterActions actions_;
  std::unique_ptr<AnalysisWindow> window_;
  std::unique_ptr<StatusMenu> menu_;
  ViewState last_;
};

}  // namespace hollin
