#include "app/platform/LoggingPresenter.h"

#include <unistd.h>

#include "core/L10n.h"
#include "core/ui/StatusView.h"

namespace hollin {

LoggingPresenter::LoggingPresenter(Log log, Presenter* inner) : log_(std::move(log)), inner_(inner) {}

void LoggingPresenter::render(const ViewState& state) {
  if (inner_) inner_->render(state);
  if (shown_ == state.status) return;
  shown_ = state.status;
  log_("level " + L10n::render(state.status.title, state.language) + ": " +
       L10n::render(state.status.explanation, state.language));
}

void LoggingPresenter::showAnalysis() {
  if (inner_) inner_->showAnalysis();
}

PresenterReadout LoggingPresenter::readout() const {
  if (inner_) return inner_->readout();
  PresenterReadout readout;
  if (shown_) {
    // What the status menu would say, had it a tray to hang from.
    readout.statusMenuTitle = L10n::text(shown_->title);
    readout.statusMenuText = statusRowTitle(*shown_, L10n::language());
  }
  return readout;
}

void logToStandardError(const std::string& line) {
  std::string text = "hollin: " + line + "\n";
  [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace hollin
