#include "app/platform/LoggingPresenter.h"

#include <unistd.h>

namespace hollin {

LoggingPresenter::LoggingPresenter(Log log, Presenter* inner) : log_(std::move(log)), inner_(inner) {}

void LoggingPresenter::display(const Screen& screen) {
  if (inner_) inner_->display(screen);
  if (shown_ == screen.status.menuRow) return;
  shown_ = screen.status.menuRow;
  log_("level " + screen.status.title + ": " + screen.status.explanation);
}

void LoggingPresenter::showAnalysis() {
  if (inner_) inner_->showAnalysis();
}

void LoggingPresenter::showDocument(const std::string& id, const DocumentView& document) {
  if (inner_) inner_->showDocument(id, document);
  else log_(document.title + " (no display to show it on)");
}

std::optional<int> LoggingPresenter::ask(const AlertView& alert) {
  log_(alert.title + " — " + alert.text);
  return inner_ ? inner_->ask(alert) : std::nullopt;
}

void logToStandardError(const std::string& line) {
  std::string text = "hollin: " + line + "\n";
  [[maybe_unused]] auto ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

}  // namespace hollin
