// The presenter when there is no display or no system tray: one line on standard error for
// each change of the shown level, passing everything on to the desktop presenter when there is
// one (a display without a tray still has the analysis window).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/views/Presenter.h"

namespace hollin {

class LoggingPresenter final : public Presenter {
 public:
  using Log = std::function<void(const std::string&)>;
  explicit LoggingPresenter(Log log, Presenter* inner = nullptr);

  void render(const ViewState& state) override;
  void showAnalysis() override;
  PresenterReadout readout() const override;

 private:
  Log log_;
  Presenter* inner_;
  std::optional<ShownStatus> shown_;
};

// "hollin: " and the line on standard error, in one write so lines of threads never interleave.
void logToStandardError(const std::string& line);

}  // namespace hollin
