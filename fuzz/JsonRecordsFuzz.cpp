// The small records of stored and shared files: a process identity, a localized message, a
// memory sample and an SSD health reading, chosen by the first byte ('0'…'3'). Whatever a
// reader accepts, its writer must write back to the same record.
#include <nlohmann/json.hpp>

#include "FuzzTarget.h"
#include "core/LocalizedMessage.h"
#include "core/memory/AppIdentity.h"
#include "core/memory/MemoryNotice.h"
#include "core/ssd/SSDHealth.h"

namespace hollin {
namespace {

template <class Read>
void readAndWriteBack(const Json& json, Read read) {
  const auto record = read(json);
  if (!record) return;
  fuzz::require(read(toJson(*record)) == record, "a record read is written back unchanged");
}

int fuzzJsonRecords(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, 4);
  if (!choice) return 0;
  const Json json = Json::parse(choice->rest, nullptr, false);
  if (json.is_discarded()) return 0;
  switch (choice->parser) {
    case 0: readAndWriteBack(json, appIdentityFromJson); break;
    case 1: readAndWriteBack(json, messageFromJson); break;
    case 2: readAndWriteBack(json, memorySampleFromJson); break;
    case 3: readAndWriteBack(json, healthFromJson); break;
  }
  return 0;
}

const fuzz::Registration registered("records", fuzzJsonRecords);

}  // namespace
}  // namespace hollin
