# Headers that most sources of a target include, parsed once per target instead of once per
# source: the standard containers and nlohmann-json everywhere, Qt's core classes in the
# application, GoogleTest in the test programs. C++ targets only.
function(hollin_precompile target)
  cmake_parse_arguments(PARSE_ARGV 1 with "QT;TESTS" "" "")
  set(headers <algorithm> <chrono> <cstdint> <functional> <map> <memory> <optional> <set> <string>
    <string_view> <vector> <nlohmann/json.hpp>)
  if(with_QT)
    list(APPEND headers <QObject> <QString> <QStringList> <QWidget>)
  endif()
  if(with_TESTS)
    list(APPEND headers <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
  # GCC 12 reports std::string's own copies as out of bounds once <string> comes from a
  # precompiled header (a known false positive of that release); later releases check as usual.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow)
  endif()
endfunction()
