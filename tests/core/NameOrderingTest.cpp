#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/memory/NameOrdering.h"

namespace hollin {
namespace {

TEST(NameOrdering, FileNameOrder) {
  struct Row {
    const char* a;
    const char* b;
    std::weak_ordering expected;
  } rows[] = {
      {"Item 2", "item 10", std::weak_ordering::less},
      {"item 10", "Item 2", std::weak_ordering::greater},
      {"file9", "file10", std::weak_ordering::less},
      {"Firefox", "firefox", std::weak_ordering::equivalent},
      {"apple", "Banana", std::weak_ordering::less},
      {"cafe", "café", std::weak_ordering::less},
      {"", "a", std::weak_ordering::less},
      {"\xff\xfe", "\xff\xfe", std::weak_ordering::equivalent},  // invalid UTF-8 still compares
  };
  for (const Row& row : rows)
    EXPECT_EQ(localizedStandardCompare(row.a, row.b), row.expected) << row.a << " / " << row.b;
}

TEST(NameOrdering, ConcurrentCallersAgree) {
  std::vector<std::thread> threads;
  std::vector<int> wrong(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&wrong, t] {
      for (int i = 0; i < 2000; ++i)
        wrong[t] += localizedStandardCompare("Item 2", "item 10") != std::weak_ordering::less;
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace hollin
