// The desktop session's applications, as its two public interfaces show them: the
// accessibility bus (AT-SPI: the registry lists every application that joined it, and each
// answers questions about its user interface on its main thread) and the X server (the window
// manager's client list, the resource extension's client pids, the _NET_WM_PING protocol).
// Nothing here blocks longer than the time-out it is given, and nothing throws.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sd_bus;
struct xcb_connection_t;

namespace hollin::native {

// How an application took one question.
enum class Answer {
  answered,  // it replied, whatever the reply said
  timedOut,  // no reply within the time-out
  failed,    // it could not be asked: gone, not listening, or an error reply
};

struct AccessibleApplication {
  std::string busName;  // its unique name on the accessibility bus
  std::int32_t pid = 0; // of that connection, as the bus daemon knows it
};

class AccessibilityBus {
 public:
  // Reaches the accessibility bus: $AT_SPI_BUS_ADDRESS, else the address org.a11y.Bus gives on
  // the session bus. Null when either cannot be reached.
  static std::unique_ptr<AccessibilityBus> connect(std::chrono::milliseconds timeout);
  ~AccessibilityBus();
  AccessibilityBus(const AccessibilityBus&) = delete;
  AccessibilityBus& operator=(const AccessibilityBus&) = delete;

  // org.a11y.Status.IsEnabled on the session bus: applications join the bus only when it is
  // true. False when it cannot be read.
  bool enabled();
  // The applications the registry lists, or nothing when the registry does not answer.
  std::optional<std::vector<AccessibleApplication>> applications();
  // Asks the application's root for its children, the question its main thread must answer.
  Answer askChildren(const std::string& busName, std::chrono::microseconds timeout);
  // Sets org.a11y.Status.IsEnabled; whether the session bus took it.
  static bool enable(std::chrono::milliseconds timeout);

 private:
  AccessibilityBus(sd_bus* session, sd_bus* bus, std::chrono::milliseconds timeout)
      : session_(session), bus_(bus), timeout_(timeout) {}
  sd_bus* session_;
  sd_bus* bus_;
  std::chrono::milliseconds timeout_;  // for the bus daemon, the launcher and the registry
};

struct XClient {
  std::uint32_t window = 0;  // its top-level window
  std::int32_t pid = 0;      // from the resource extension; 0 when the server does not know it
  std::string wmClass;       // the class part of WM_CLASS; empty when unset
};

class XDisplay {
 public:
  // Connects to $DISPLAY; null when there is none or it refuses.
  static std::unique_ptr<XDisplay> connect();
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // The window manager's _NET_CLIENT_LIST, in its order.
  std::vector<XClient> clients();
  // The pid of _NET_ACTIVE_WINDOW's client.
  std::optional<std::int32_t> activePid();
  // Sends _NET_WM_PING to `window` and waits for its answer on the root window. `failed` when
  // the window does not take the protocol.
  Answer ping(std::uint32_t window, std::chrono::microseconds timeout);
  // False once the connection broke.
  bool usable();

 private:
  XDisplay(xcb_connection_t* connection, std::uint32_t root);
  std::optional<std::int32_t> pidOf(std::uint32_t window);
  xcb_connection_t* connection_;
  std::uint32_t root_;
  // Interned once, with one round trip for all four.
  std::uint32_t clientList_ = 0, activeWindow_ = 0, protocols_ = 0, ping_ = 0;
  std::uint32_t nextStamp_ = 1;
};

}  // namespace hollin::native
