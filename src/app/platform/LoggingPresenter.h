// One line on standard error for each change of the shown level, passing everything on to the
// desktop presenter when there is one. Without a display it is the only presenter.
#pragma once

#include <functional>
#include <string>

#include "app/views/Presenter.h"

namespace hollin {

class LoggingPresenter final : public Presenter {
 public:
  using Log = std::function<void(const std::string&)>;
  explicit LoggingPresenter(Log log, Presenter* inner = nullptr);

  void display(const Screen& screen) override;
  void showAnalysis() override;
  void showDocument(const std::string& id, const DocumentView& document) override;
  // Logged, and asked of the desktop presenter when there is one.
  std::optional<int> ask(const AlertView& alert) override;
  // The desktop presenter, once it is built.
  void setInner(Presenter* inner) { inner_ = inner; }

 private:
  Log log_;
  Presenter* inner_;
  std::string shown_;  // the status row last logged
};

// "hollin: " and the line on standard error, in one write so lines of threads never interleave.
void logToStandardError(const std::string& line);

}  // namespace hollin
