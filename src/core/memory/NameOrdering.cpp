#include "core/memory/NameOrdering.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <memory>

namespace hollin {
namespace {

struct CollatorClose {
  void operator()(UCollator* collator) const { ucol_close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorClose>;

// The collation locale: the user's, except that a C or POSIX session gets the root collation,
// since ICU's POSIX tailoring orders by code point and puts every capital before "a".
const char* collationLocale() {
  const std::string_view locale = uloc_getDefault();
  return locale.find("POSIX") == std::string_view::npos ? locale.data() : "";
}

// The user's locale collation with digit runs read as numbers, comparing base letters and
// accents but not case. Built once; nullptr when ICU has no collation data.
const UCollator* prototype() {
  static const Collator collator = [] {
    UErrorCode status = U_ZERO_ERROR;
    Collator made(ucol_open(collationLocale(), &status));
    if (U_FAILURE(status)) return Collator();
    ucol_setAttribute(made.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    ucol_setAttribute(made.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
    return U_FAILURE(status) ? Collator() : std::move(made);
  }();
  return collator.get();
}

// A collator is not safe for concurrent comparisons, so each thread compares with its own copy.
const UCollator* threadCollator() {
  thread_local const Collator collator = [] {
    const UCollator* original = prototype();
    if (original == nullptr) return Collator();
    UErrorCode status = U_ZERO_ERROR;
    Collator copy(ucol_clone(original, &status));
    return U_FAILURE(status) ? Collator() : std::move(copy);
  }();
  return collator.get();
}

}  // namespace

std::weak_ordering localizedStandardCompare(std::string_view a, std::string_view b) {
  const UCollator* collator = threadCollator();
  // Without collation data the names still get a fixed order: their bytes.
  if (collator == nullptr) return a <=> b;
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) return a <=> b;
  if (result == UCOL_LESS) return std::weak_ordering::less;
  if (result == UCOL_GREATER) return std::weak_ordering::greater;
  return std::weak_ordering::equivalent;
}

}  // namespace hollin
