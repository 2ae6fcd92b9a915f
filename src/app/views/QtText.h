// The core's UTF-8 texts as Qt shows them.
#pragma once

#include <QString>

#include <string_view>

namespace hollin {

inline QString qText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace hollin
