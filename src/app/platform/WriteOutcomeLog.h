// Tells the diagnostic log how writing one file goes, without repeating itself on every tick:
// the first failure of each kind, and the first success after a failure.
#pragma once

#include <functional>
#include <string>

namespace hollin {

class WriteOutcomeLog {
 public:
  using Log = std::function<void(const std::string&)>;

  WriteOutcomeLog(std::string path, Log log) : path_(std::move(path)), log_(std::move(log)) {}

  // 0 for a write that worked, else the errno of the step that failed.
  void report(int error);

 private:
  std::string path_;
  Log log_;
  int lastError_ = 0;
};

}  // namespace hollin
