// An update server's answer, as the update check takes it: any body, with and without the JSON
// content type. A version taken from it is always one the version rules accept.
#include "FuzzTarget.h"
#include "core/support/UpdateCheck.h"

namespace hollin {
namespace {

int fuzzUpdateResponse(const std::uint8_t* data, std::size_t size) {
  const std::string_view body = fuzz::text(data, size);
  const std::span<const char> bytes(body.data(), body.size());
  const bool looks = UpdateCheck::looksLikeUpdateResponse("application/json; charset=utf-8", bytes);
  fuzz::require(!UpdateCheck::looksLikeUpdateResponse("text/html", bytes), "only JSON is an answer");
  const auto version = UpdateCheck::parse(bytes);
  if (!version) return 0;
  fuzz::require(looks || body.size() > UpdateCheck::bodyLimit, "a version comes from what looks like an answer");
  fuzz::require(AppVersion::sanitized(*version) == version, "a version taken is a sanitized one");
  fuzz::require(!AppVersion::isNewer(*version, *version), "no version is newer than itself");
  return 0;
}

const fuzz::Registration registered("update", fuzzUpdateResponse);

}  // namespace
}  // namespace hollin
