// The entry of every end-to-end driver: GoogleTest with the driver's options kept for the tests.

#include <gtest/gtest.h>

#include "driver.h"

namespace kestrin::e2e {
namespace {
Options options;
}
const Options& DriverOptions() { return options; }
}  // namespace kestrin::e2e

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  kestrin::e2e::options = kestrin::e2e::Options::Parse(argc, argv);
  return RUN_ALL_TESTS();
}
