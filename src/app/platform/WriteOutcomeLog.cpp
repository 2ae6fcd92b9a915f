#include "app/platform/WriteOutcomeLog.h"

#include <cstring>

namespace hollin {

void WriteOutcomeLog::report(int error) {
  if (error == lastError_) return;
  if (log_) {
    log_(error != 0 ? "cannot write " + path_ + ": " + std::strerror(error) + " (the previous file is kept)"
                    : "writing " + path_ + " works again");
  }
  lastError_ = error;
}

}  // namespace hollin
