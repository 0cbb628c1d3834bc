// Entry of the unit suite. Engine failures (internal errors, out of memory)
// abort the test binary with a readable line instead of showing a box.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
