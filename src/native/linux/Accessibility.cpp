// The accessibility bus through sd-bus: a private connection to the session bus for
// org.a11y.Bus and org.a11y.Status, and one to the accessibility bus itself.
#include <cerrno>
#include <cstdlib>

#include "native/Desktop.h"
#include "native/linux/SdBus.h"

namespace hollin::native {
namespace {

constexpr const char* launcherName = "org.a11y.Bus";
constexpr const char* launcherPath = "/org/a11y/bus";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";
constexpr const char* rootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";

Bus sessionBus() {
  sd_bus* session = nullptr;
  return sd_bus_open_user(&session) >= 0 ? Bus(session) : nullptr;
}

std::optional<std::string> busAddress(sd_bus* session, std::chrono::milliseconds timeout) {
  if (const char* address = std::getenv("AT_SPI_BUS_ADDRESS"); address && *address) return address;
  const Message reply = callMethod(session, launcherName, launcherPath, launcherName, "GetAddress", timeout);
  const char* address = nullptr;
  if (!reply || sd_bus_message_read(reply.get(), "s", &address) < 0 || !address || !*address) return std::nullopt;
  return address;
}

}  // namespace

std::unique_ptr<AccessibilityBus> AccessibilityBus::connect(std::chrono::milliseconds timeout) {
  Bus session = sessionBus();
  const auto address = session ? busAddress(session.get(), timeout) : std::nullopt;
  Bus bus = address ? connectToBus(address->c_str()) : nullptr;
  if (!bus) return nullptr;
  return std::unique_ptr<AccessibilityBus>(new AccessibilityBus(session.release(), bus.release(), timeout));
}

AccessibilityBus::~AccessibilityBus() {
  BusDeleter()(bus_);
  BusDeleter()(session_);
}

bool AccessibilityBus::enabled() {
  const Message reply = callMethod(session_, launcherName, launcherPath, propertiesInterface, "Get", timeout_,
                                   [](sd_bus_message* m) {
                                     return sd_bus_message_append(m, "ss", "org.a11y.Status", "IsEnabled") >= 0;
                                   });
  int value = 0;
  return reply && sd_bus_message_read(reply.get(), "v", "b", &value) >= 0 && value != 0;
}

bool AccessibilityBus::enable(std::chrono::milliseconds timeout) {
  const Bus session = sessionBus();
  return session && callMethod(session.get(), launcherName, launcherPath, propertiesInterface, "Set", timeout,
                               [](sd_bus_message* m) {
                                 return sd_bus_message_append(m, "ssv", "org.a11y.Status", "IsEnabled", "b", 1) >= 0;
                               });
}

std::optional<std::vector<AccessibleApplication>> AccessibilityBus::applications() {
  const Message reply = callMethod(bus_, "org.a11y.atspi.Registry", rootPath, accessibleInterface, "GetChildren", timeout_);
  if (!reply || sd_bus_message_enter_container(reply.get(), 'a', "(so)") < 0) return std::nullopt;
  std::vector<AccessibleApplication> applications;
  const char* name = nullptr;
  const char* path = nullptr;
  while (sd_bus_message_read(reply.get(), "(so)", &name, &path) > 0) {
    if (!name || !*name) continue;
    // The bus daemon answers this, not the application.
    const Message answer = callMethod(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "GetConnectionUnixProcessID", timeout_,
                                      [name](sd_bus_message* m) { return sd_bus_message_append(m, "s", name) >= 0; });
    std::uint32_t pid = 0;
    if (answer && sd_bus_message_read(answer.get(), "u", &pid) >= 0 && pid > 0)
      applications.push_back({name, static_cast<std::int32_t>(pid)});
  }
  return applications;
}

Answer AccessibilityBus::askChildren(const std::string& busName, std::chrono::microseconds timeout) {
  int status = 0;
  callMethod(bus_, busName.c_str(), rootPath, accessibleInterface, "GetChildren", timeout, noArguments, &status);
  if (status == -ETIMEDOUT) return Answer::timedOut;
  return status < 0 ? Answer::failed : Answer::answered;
}

}  // namespace hollin::native
