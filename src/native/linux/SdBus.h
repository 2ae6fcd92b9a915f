// What the sd-bus readers share: owned connections and messages, a private client connection
// to a bus by its address, and a method call with a time-out of its own.
#pragma once

#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>

namespace hollin::native {

// Closed without flushing: every call waited for its reply, and nothing may block here.
struct BusDeleter {
  void operator()(sd_bus* bus) const {
    sd_bus_close(bus);
    sd_bus_unref(bus);
  }
};
using Bus = std::unique_ptr<sd_bus, BusDeleter>;

struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

// sd-bus's time-out: microseconds, at least one (0 would mean its 25 s default).
inline std::uint64_t busTimeout(std::chrono::microseconds timeout) {
  return static_cast<std::uint64_t>(std::max<std::int64_t>(timeout.count(), 1));
}

// A client connection to the bus at `address`; null when it cannot be made.
inline Bus connectToBus(const char* address) {
  sd_bus* raw = nullptr;
  if (sd_bus_new(&raw) < 0) return nullptr;
  Bus bus(raw);
  if (sd_bus_set_address(raw, address) < 0 || sd_bus_set_bus_client(raw, 1) < 0 || sd_bus_start(raw) < 0)
    return nullptr;
  return bus;
}

inline bool noArguments(sd_bus_message*) { return true; }

// The reply to `member`, called with the arguments `fill` appends (false when it cannot), within
// `timeout`; null on any error, whose negative number goes to `status` when asked for.
template <class Fill = bool (*)(sd_bus_message*)>
Message callMethod(sd_bus* bus, const char* destination, const char* path, const char* interface, const char* member,
                   std::chrono::microseconds timeout, Fill fill = noArguments, int* status = nullptr) {
  sd_bus_message* raw = nullptr;
  int result = sd_bus_message_new_method_call(bus, &raw, destination, path, interface, member);
  const Message request(raw);
  sd_bus_message* reply = nullptr;
  if (result >= 0) result = fill(raw) ? 0 : -EINVAL;
  if (result >= 0) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    result = sd_bus_call(bus, raw, busTimeout(timeout), &error, &reply);
    sd_bus_error_free(&error);
  }
  if (status) *status = result;
  return result < 0 ? nullptr : Message(reply);
}

}  // namespace hollin::native
