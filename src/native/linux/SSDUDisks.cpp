// udisks2's SMART reading of an NVMe drive, through sd-bus: the namespace disk's block object
// names its drive; the drive's NVMe.Controller interface (udisks 2.10 and later) holds the
// health figures udisks last read from the drive, in properties and SmartGetAttributes.
#include "native/linux/SSDReaders.h"


#include <map>
#include <memory>
#include <variant>
#include <vector>

#include "native/linux/SdBus.h"

namespace hollin::native {
namespace {

constexpr const char* service = "org.freedesktop.UDisks2";
constexpr const char* blockPrefix = "/org/freedesktop/UDisks2/block_devices";
constexpr const char* blockInterface = "org.freedesktop.UDisks2.Block";
constexpr const char* controllerInterface = "org.freedesktop.UDisks2.NVMe.Controller";
constexpr const char* propertiesInterface = "org.freedesktop.DBus.Properties";

using Clock = std::chrono::steady_clock;

// The values of an a{sv} that the reading uses; any other type is kept as monostate.
using Value = std::variant<std::monostate, std::uint8_t, std::uint16_t, std::uint64_t, std::vector<std::string>>;
using Dictionary = std::map<std::string, Value>;

template <typename T>
std::optional<T> lookup(const Dictionary& dictionary, const std::string& key) {
  const auto found = dictionary.find(key);
  if (found == dictionary.end() || !std::holds_alternative<T>(found->second)) return std::nullopt;
  return std::get<T>(found->second);
}

template <typename T>
bool readBasicVariant(sd_bus_message* message, char type, const char* signature, Value& value) {
  T number{};
  if (sd_bus_message_enter_container(message, 'v', signature) <= 0 ||
      sd_bus_message_read_basic(message, type, &number) <= 0 || sd_bus_message_exit_container(message) < 0)
    return false;
  value = number;
  return true;
}

bool readStrings(sd_bus_message* message, Value& value) {
  std::vector<std::string> strings;
  if (sd_bus_message_enter_container(message, 'v', "as") <= 0 ||
      sd_bus_message_enter_container(message, 'a', "s") <= 0)
    return false;
  const char* text = nullptr;
  int read = 0;
  while ((read = sd_bus_message_read_basic(message, 's', &text)) > 0) strings.emplace_back(text);
  if (read < 0 || sd_bus_message_exit_container(message) < 0 || sd_bus_message_exit_container(message) < 0)
    return false;
  value = std::move(strings);
  return true;
}

// The a{sv} at the message's read position.
std::optional<Dictionary> readDictionary(sd_bus_message* message) {
  Dictionary dictionary;
  if (sd_bus_message_enter_container(message, 'a', "{sv}") <= 0) return std::nullopt;
  for (;;) {
    const int entry = sd_bus_message_enter_container(message, 'e', "sv");
    if (entry < 0) return std::nullopt;
    if (entry == 0) break;
    const char* key = nullptr;
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_read_basic(message, 's', &key) <= 0 ||
        sd_bus_message_peek_type(message, &type, &contents) <= 0 || type != 'v' || !contents)
      return std::nullopt;
    const std::string name = key, signature = contents;
    Value value;
    bool read = false;
    if (signature == "y") read = readBasicVariant<std::uint8_t>(message, 'y', "y", value);
    else if (signature == "q") read = readBasicVariant<std::uint16_t>(message, 'q', "q", value);
    else if (signature == "t") read = readBasicVariant<std::uint64_t>(message, 't', "t", value);
    else if (signature == "as") read = readStrings(message, value);
    else read = sd_bus_message_skip(message, "v") >= 0;
    if (!read || sd_bus_message_exit_container(message) < 0) return std::nullopt;
    dictionary[name] = std::move(value);
  }
  if (sd_bus_message_exit_container(message) < 0) return std::nullopt;
  return dictionary;
}

// One connection and the deadline all its calls share.
class Session {
 public:
  Session(const char* address, std::chrono::milliseconds timeout) : deadline_(Clock::now() + timeout) {
    if (address) {
      bus_ = connectToBus(address);
    } else {
      sd_bus* raw = nullptr;
      if (sd_bus_open_system(&raw) >= 0) bus_.reset(raw);
    }
    // The connection's own greeting waits no longer than the calls.
    if (bus_) sd_bus_set_method_call_timeout(bus_.get(), busTimeout(timeout));
  }
  explicit operator bool() const { return bus_ != nullptr; }

  // The reply to a method call made by `fill`, or absent on an error or at the deadline.
  template <typename Fill>
  Message call(const char* path, const char* interface, const char* member, Fill fill) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - Clock::now());
    if (left.count() <= 0) return nullptr;
    return callMethod(bus_.get(), service, path, interface, member, left, fill);
  }

 private:
  Bus bus_;
  Clock::time_point deadline_;
};

// The critical-warning bits udisks names.
std::uint8_t warningBits(const std::vector<std::string>& names) {
  static const std::map<std::string, std::uint8_t, std::less<>> bits = {
      {"spare", 0x01},    {"temperature", 0x02},  {"degraded", 0x04},
      {"readonly", 0x08}, {"volatile_mem", 0x10}, {"pmr_readonly", 0x20}};
  std::uint8_t warning = 0;
  for (const auto& name : names) {
    const auto bit = bits.find(name);
    warning |= bit != bits.end() ? bit->second : 0x80;  // one udisks knows and we do not
  }
  return warning;
}

}  // namespace

void putCounter(std::uint8_t (&counter)[16], std::uint64_t value) {
  for (std::size_t i = 0; i < 16; ++i) counter[i] = i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0;
}

std::optional<HLSSDReading> readUDisksHealth(const std::string& disk, const char* busAddress,
                                             std::chrono::milliseconds timeout) {
  Session session(busAddress, timeout);
  if (!session) return std::nullopt;

  char* encoded = nullptr;
  if (sd_bus_path_encode(blockPrefix, disk.c_str(), &encoded) < 0) return std::nullopt;
  const std::unique_ptr<char, decltype(&::free)> blockPath(encoded, ::free);
  auto driveReply = session.call(blockPath.get(), propertiesInterface, "Get", [](sd_bus_message* m) {
    return sd_bus_message_append(m, "ss", blockInterface, "Drive") >= 0;
  });
  const char* drivePath = nullptr;
  if (!driveReply || sd_bus_message_enter_container(driveReply.get(), 'v', "o") <= 0 ||
      sd_bus_message_read_basic(driveReply.get(), 'o', &drivePath) <= 0 || std::string_view(drivePath) == "/")
    return std::nullopt;
  const std::string drive = drivePath;

  auto propertiesReply = session.call(drive.c_str(), propertiesInterface, "GetAll", [](sd_bus_message* m) {
    return sd_bus_message_append(m, "s", controllerInterface) >= 0;
  });
  if (!propertiesReply) return std::nullopt;  // udisks before 2.10 has no NVMe interface
  const auto properties = readDictionary(propertiesReply.get());
  if (!properties) return std::nullopt;
  const auto updated = lookup<std::uint64_t>(*properties, "SmartUpdated");
  const auto warnings = lookup<std::vector<std::string>>(*properties, "SmartCriticalWarning");
  const auto hours = lookup<std::uint64_t>(*properties, "SmartPowerOnHours");
  const auto kelvin = lookup<std::uint16_t>(*properties, "SmartTemperature");
  if (!updated || *updated == 0 || !warnings || !hours || !kelvin) return std::nullopt;

  auto attributesReply = session.call(drive.c_str(), controllerInterface, "SmartGetAttributes",
                                      [](sd_bus_message* m) { return sd_bus_message_append(m, "a{sv}", 0) >= 0; });
  if (!attributesReply) return std::nullopt;
  const auto attributes = readDictionary(attributesReply.get());
  if (!attributes) return std::nullopt;
  const auto spare = lookup<std::uint8_t>(*attributes, "avail_spare");
  const auto threshold = lookup<std::uint8_t>(*attributes, "spare_thresh");
  const auto used = lookup<std::uint8_t>(*attributes, "percent_used");
  const auto written = lookup<std::uint64_t>(*attributes, "total_data_written");
  const auto mediaErrors = lookup<std::uint64_t>(*attributes, "media_errors");
  const auto errorEntries = lookup<std::uint64_t>(*attributes, "num_err_log_entries");
  if (!spare || !threshold || !used || !written || !mediaErrors || !errorEntries) return std::nullopt;

  HLSSDReading reading{};
  reading.warning = warningBits(*warnings);
  if (*kelvin != 0) {  // 0: udisks has no temperature
    reading.celsius = static_cast<double>(*kelvin) - 273.15;
    reading.celsius_valid = reading.celsius >= -20 && reading.celsius <= 120 ? 1 : 0;
  }
  reading.spare = *spare;
  reading.spare_threshold = *threshold;
  reading.wear = *used;
  putCounter(reading.written, *written / 512000);  // udisks gives bytes; the page 512,000-byte units
  putCounter(reading.power_hours, *hours);
  putCounter(reading.media_errors, *mediaErrors);
  putCounter(reading.error_entries, *errorEntries);
  if (reading.spare > 100 || reading.spare_threshold > 100) return std::nullopt;
  return reading;
}

}  // namespace hollin::native
