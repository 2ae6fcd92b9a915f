// The accessibility bus through sd-bus: a private connection to the session bus for
// org.a11y.Bus and org.a11y.Status, and one to the accessibility bus itself.
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "native/Desktop.h"

namespace hollin::native {
namespace {

constexpr const char* launcherName = "org.a11y.Bus";
constexpr const char* launcherPath = "/org/a11y/bus";
constexpr const char* rootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";

std::uint64_t microseconds(std::chrono::microseconds timeout) {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(timeout.count(), 1));
}

// Frees what sd-bus hands out, on every path.
struct Message {
  sd_bus_message* message = nullptr;
  ~Message() { sd_bus_message_unref(message); }
};
struct Error {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ~Error() { sd_bus_error_free(&error); }
};

sd_bus* sessionBus() {
  sd_bus* session = nullptr;
  return sd_bus_open_user(&session) >= 0 ? session : nullptr;
}

// A method call with a time-out of its own and the arguments `append` adds; 0 or more with the
// reply, or the negative error number.
template <class Append = int (*)(sd_bus_message*)>
int call(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* member,
         std::chrono::microseconds timeout, Message& reply, Append append = [](sd_bus_message*) { return 0; }) {
  Message request;
  int r = sd_bus_message_new_method_call(bus, &request.message, destination, path, interface, member);
  if (r < 0 || (r = append(request.message)) < 0) return r;
  Error error;
  return sd_bus_call(bus, request.message, microseconds(timeout), &error.error, &reply.message);
}

std::optional<std::string> busAddress(sd_bus* session, std::chrono::milliseconds timeout) {
  if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address && *address) return address;
  Message reply;
  if (call(session, launcherName, launcherPath, launcherName, "GetAddress", timeout, reply) < 0) return std::nullopt;
  const char* address = nullptr;
  if (sd_bus_message_read(reply.message, "s", &address) < 0 || !address || !*address) return std::nullopt;
  return address;
}

}  // namespace

std::unique_ptr<AccessibilityBus> AccessibilityBus::connect(std::chrono::milliseconds timeout) {
  sd_bus* session = sessionBus();
  if (!session) return nullptr;
  const auto address = busAddress(session, timeout);
  sd_bus* bus = nullptr;
  if (!address || sd_bus_new(&bus) < 0) {
    sd_bus_flush_close_unref(session);
    return nullptr;
  }
  if (sd_bus_set_address(bus, address->c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
    sd_bus_flush_close_unref(bus);
    sd_bus_flush_close_unref(session);
    return nullptr;
  }
  return std::unique_ptr<AccessibilityBus>(new AccessibilityBus(session, bus, timeout));
}

AccessibilityBus::~AccessibilityBus() {
  sd_bus_flush_close_unref(bus_);
  sd_bus_flush_close_unref(session_);
}

bool AccessibilityBus::enabled() {
  Message reply;
  if (call(session_, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Get", timeout_, reply,
           [](sd_bus_message* m) { return sd_bus_message_append(m, "ss", "org.a11y.Status", "IsEnabled"); }) < 0)
    return false;
  int value = 0;
  return sd_bus_message_read(reply.message, "v", "b", &value) >= 0 && value != 0;
}

bool AccessibilityBus::enable(std::chrono::milliseconds timeout) {
  sd_bus* session = sessionBus();
  if (!session) return false;
  Message reply;
  const int r = call(session, launcherName, launcherPath, "org.freedesktop.DBus.Properties", "Set", timeout, reply,
                     [](sd_bus_message* m) {
                       return sd_bus_message_append(m, "ssv", "org.a11y.Status", "IsEnabled", "b", 1);
                     });
  sd_bus_flush_close_unref(session);
  return r >= 0;
}

std::optional<std::vector<AccessibleApplication>> AccessibilityBus::applications() {
  Message reply;
  if (call(bus_, "org.a11y.atspi.Registry", rootPath, accessibleInterface, "GetChildren", timeout_, reply) < 0)
    return std::nullopt;
  std::vector<AccessibleApplication> applications;
  if (sd_bus_message_enter_container(reply.message, 'a', "(so)") < 0) return std::nullopt;
  const char* name = nullptr;
  const char* path = nullptr;
  while (sd_bus_message_read(reply.message, "(so)", &name, &path) > 0) {
    if (!name || !*name) continue;
    // The bus daemon answers this, not the application.
    Message answer;
    std::uint32_t pid = 0;
    if (call(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "GetConnectionUnixProcessID", timeout_, answer,
             [name](sd_bus_message* m) { return sd_bus_message_append(m, "s", name); }) >= 0 &&
        sd_bus_message_read(answer.message, "u", &pid) >= 0 && pid > 0)
      applications.push_back({name, static_cast<std::int32_t>(pid)});
  }
  return applications;
}

Answer AccessibilityBus::askChildren(const std::string& busName, std::chrono::microseconds timeout) {
  Message reply;
  const int r = call(bus_, busName.c_str(), rootPath, accessibleInterface, "GetChildren", timeout, reply);
  if (r == -ETIMEDOUT) return Answer::timedOut;
  return r < 0 ? Answer::failed : Answer::answered;
}

}  // namespace hollin::native
