// The hl_ functions: the live system under the host root.
#include "native/NativeMetrics.h"

#include "native/linux/NativeReaders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

using namespace hollin::native;

namespace {

ProcessTable& liveTable() {
  static ProcessTable table(hostRoot(), ProcessTable::liveDescriptorBudget());
  return table;
}

}  // namespace

std::string hollin::native::homeFolder() {
  std::string home = "/";
  if (const char* variable = std::getenv("HOME"); variable && *variable) {
    home = variable;
  } else {
    // The re-entrant form: readings are taken on a worker thread.
    passwd entry{}, *user = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &user) == 0 && user && user->pw_dir)
      home = user->pw_dir;
  }
  return realFolder(home);
}

const std::string& hollin::native::hostRoot() {
  static const std::string root = [] {
    const char* value = std::getenv("HOLLIN_HOST_ROOT");
    return std::string(value && *value ? value : "/");
  }();
  return root;
}

extern "C" {

HLSystem hl_system(void) { return readSystem(hostRoot(), homeFolder()); }

int32_t hl_processes(HLProcess** list, int32_t* error) { return liveTable().sample(list, error); }

void hl_prepare(void) { liveTable().prepare(); }

void hl_free(HLProcess* list) { std::free(list); }

int32_t hl_identity(int32_t pid, uint32_t* uid, uint64_t* start) {
  auto identity = readIdentity(hostRoot(), pid);
  if (!identity) return 0;
  *uid = identity->uid;
  *start = identity->start;
  return 1;
}

int32_t hl_cpu_temperature(double* celsius) {
  if (!celsius) return 0;
  auto hottest = readCpuTemperature(hostRoot());
  if (!hottest) return 0;
  *celsius = *hottest;
  return 1;
}

}
