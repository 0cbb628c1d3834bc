// Expected outputs of the kova tool kept as files under tests/host/expected/
// (help texts, inspect reports), so a change to what users read shows up as
// a change to a file. With KOVA_RECORD=1 in the environment the tests write
// what the tool printed into these files instead of comparing: for recording
// a deliberate change, to be reviewed in the diff.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "kova_tool.h"

namespace kova::test {

inline std::string ExpectedPath(const std::string& name) { return std::string(KOVA_HOST_EXPECTED) + "/" + name; }

inline bool Recording() {
  const char* record = std::getenv("KOVA_RECORD");
  return record && std::string(record) == "1";
}

inline std::string Expected(const std::string& name) { return ReadTextFile(ExpectedPath(name)); }

// Compares actual with the expected file, or records it.
inline void ExpectMatchesFile(const std::string& name, const std::string& actual) {
  if (Recording()) {
    std::ofstream(ExpectedPath(name), std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(actual, Expected(name)) << "differs from tests/host/expected/" << name;
}

}  // namespace kova::test
