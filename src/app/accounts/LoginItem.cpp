#include "app/accounts/LoginItem.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "app/platform/AtomicFile.h"
#include "core/BaseDirectories.h"
#include "core/BuildProfile.h"
#include "core/scope/AutostartEntry.h"

namespace hollin {
namespace {

constexpr std::size_t entryLimit = 64 * 1024;  // bytes; ours is a few hundred

// The configuration folder; without the variables, the account's home folder stands in.
std::string configFolder() {
  if (const auto config = configHome(std::getenv)) return config->string();
  const passwd* account = ::getpwuid(::getuid());
  return account != nullptr && account->pw_dir != nullptr ? std::string(account->pw_dir) + "/.config" : std::string();
}

// Each missing folder of the path, 0700 as the base directory rules ask; an existing one is left
// as it is. 0 or the errno of the step that failed.
int makeFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
    if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

}  // namespace

LoginItem::LoginItem(std::string path, std::string executable)
    : path_(std::move(path)), executable_(std::move(executable)) {}

std::string LoginItem::defaultPath() {
  const std::string config = configFolder();
  return config.empty() ? std::string() : config + "/autostart/" + std::string(AppIdentifier) + ".desktop";
}

bool LoginItem::enabled() const {
  const StoredFile file = readStoredFile(path_, entryLimit);
  return file.state == StoredFile::State::read && autostartEnabled(file.bytes, executable_);
}

std::optional<int> LoginItem::registerItem() {
  const auto entry = autostartEntry(executable_);
  if (!entry) return EINVAL;
  const auto slash = path_.rfind('/');
  if (slash == std::string::npos || slash == 0) return ENOENT;  // no home folder to put it in
  if (const int error = makeFolders(path_.substr(0, slash))) return error;
  if (const int error = writeFileAtomically(path_, *entry)) return error;
  return std::nullopt;
}

std::optional<int> LoginItem::unregisterItem() {
  if (::unlink(path_.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  return errno;
}

}  // namespace hollin
