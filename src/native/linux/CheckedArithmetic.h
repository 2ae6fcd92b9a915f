// Sums and products of the kernel's figures that fail instead of wrapping: a figure too large
// for 64 bits is unknown, never a small wrong one. Every reader adds and scales through these.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace hollin::native {

// The sum of the terms; absent when a term is absent or the sum does not fit.
inline std::optional<std::uint64_t> checkedSum(std::initializer_list<std::optional<std::uint64_t>> terms) {
  std::uint64_t total = 0;
  for (const auto& term : terms)
    if (!term || __builtin_add_overflow(total, *term, &total)) return std::nullopt;
  return total;
}

// factor × scale; absent when the factor is absent or the product does not fit.
inline std::optional<std::uint64_t> checkedProduct(std::optional<std::uint64_t> factor, std::uint64_t scale) {
  std::uint64_t product = 0;
  if (!factor || __builtin_mul_overflow(*factor, scale, &product)) return std::nullopt;
  return product;
}

}  // namespace hollin::native
