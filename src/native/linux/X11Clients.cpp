// The X server's view of the desktop through xcb: the window manager's client list and active
// window (EWMH), each window's client pid from the resource extension, and _NET_WM_PING.
#include <poll.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "native/Desktop.h"

namespace hollin::native {
namespace {

// xcb replies and events are malloc'ed.
template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <class T>
Reply<T> owned(T* pointer) {
  return Reply<T>(pointer, &std::free);
}

using Clock = std::chrono::steady_clock;

}  // namespace

std::unique_ptr<XDisplay> XDisplay::connect() {
  if (const char* display = std::getenv("DISPLAY"); !display || !*display) return nullptr;
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return nullptr;
  }
  auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
  if (!screens.rem) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::unique_ptr<XDisplay>(new XDisplay(connection, screens.data->root));
}

XDisplay::~XDisplay() { xcb_disconnect(connection_); }

bool XDisplay::usable() { return xcb_connection_has_error(connection_) == 0; }

XDisplay::XDisplay(xcb_connection_t* connection, std::uint32_t root) : connection_(connection), root_(root) {
  const char* names[] = {"_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW", "WM_PROTOCOLS", "_NET_WM_PING"};
  std::uint32_t* atoms[] = {&clientList_, &activeWindow_, &protocols_, &ping_};
  xcb_intern_atom_cookie_t cookies[4];
  for (int i = 0; i < 4; ++i)
    cookies[i] = xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
  for (int i = 0; i < 4; ++i) {
    auto reply = owned(xcb_intern_atom_reply(connection_, cookies[i], nullptr));
    *atoms[i] = reply ? reply->atom : static_cast<std::uint32_t>(XCB_ATOM_NONE);
  }
}

std::optional<std::int32_t> XDisplay::pidOf(std::uint32_t window) {
  xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  auto reply = owned(xcb_res_query_client_ids_reply(connection_, xcb_res_query_client_ids(connection_, 1, &spec), nullptr));
  if (!reply) return std::nullopt;
  for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem; xcb_res_client_id_value_next(&ids)) {
    if (!(ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) || xcb_res_client_id_value_value_length(ids.data) < 1)
      continue;
    const std::uint32_t pid = *xcb_res_client_id_value_value(ids.data);
    if (pid > 0 && pid <= 0x7fffffff) return static_cast<std::int32_t>(pid);
  }
  return std::nullopt;
}

std::vector<XClient> XDisplay::clients() {
  std::vector<XClient> clients;
  auto property = owned(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, root_, clientList_, XCB_ATOM_WINDOW, 0, 1 << 16), nullptr));
  if (!property || property->format != 32) return clients;
  const auto* windows = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
  const int count = xcb_get_property_value_length(property.get()) / 4;
  // Every question is sent before the first answer is awaited: one round trip for the lot.
  std::vector<xcb_get_property_cookie_t> classes;
  for (int i = 0; i < count; ++i)
    classes.push_back(xcb_get_property(connection_, 0, windows[i], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256));
  for (int i = 0; i < count; ++i) {
    XClient client{windows[i], 0, {}};
    auto wmClass = owned(xcb_get_property_reply(connection_, classes[static_cast<std::size_t>(i)], nullptr));
    if (wmClass && wmClass->format == 8) {
      // "instance\0class\0": the class is the application's name.
      const char* value = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
      const std::string both(value, static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get())));
      const auto split = both.find('\0');
      if (split != std::string::npos) client.wmClass = both.substr(split + 1, both.find('\0', split + 1) - split - 1);
    }
    client.pid = pidOf(client.window).value_or(0);
    clients.push_back(std::move(client));
  }
  return clients;
}

std::optional<std::int32_t> XDisplay::activePid() {
  auto property = owned(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, root_, activeWindow_, XCB_ATOM_WINDOW, 0, 1), nullptr));
  if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) < 4) return std::nullopt;
  const std::uint32_t window = *static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
  if (window == XCB_WINDOW_NONE) return std::nullopt;
  return pidOf(window);
}

Answer XDisplay::ping(std::uint32_t window, std::chrono::microseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const std::uint32_t protocols = protocols_, pingAtom = ping_;
  auto property = owned(xcb_get_property_reply(
      connection_, xcb_get_property(connection_, 0, window, protocols, XCB_ATOM_ATOM, 0, 64), nullptr));
  if (!property || property->format != 32) return Answer::failed;
  const auto* taken = static_cast<const std::uint32_t*>(xcb_get_property_value(property.get()));
  const int count = xcb_get_property_value_length(property.get()) / 4;
  if (std::find(taken, taken + count, pingAtom) == taken + count) return Answer::failed;

  // The client answers by sending the message back to the root window for the window manager.
  // The server hands such an event to every client listening on the root window for structure
  // changes (found by trying: substructure alone does not get it), so this client listens too.
  const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);
  const std::uint32_t stamp = nextStamp_++;
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = window;
  message.type = protocols;
  message.data.data32[0] = pingAtom;
  message.data.data32[1] = stamp;
  message.data.data32[2] = window;
  xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
  xcb_flush(connection_);

  for (;;) {
    while (auto event = owned(xcb_poll_for_event(connection_))) {
      if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
      const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
      if (answer->type == protocols && answer->data.data32[0] == pingAtom && answer->data.data32[1] == stamp &&
          answer->data.data32[2] == window)
        return Answer::answered;
    }
    if (xcb_connection_has_error(connection_)) return Answer::failed;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return Answer::timedOut;
    pollfd watched{xcb_get_file_descriptor(connection_), POLLIN, 0};
    ::poll(&watched, 1, static_cast<int>(left));
  }
}

}  // namespace hollin::native
