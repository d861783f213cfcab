// The player tests follow every element GStreamer makes (ElementLifetimes). Its hook must be
// in place before the first pipeline of the run: a global environment is set up after main
// has initialised GStreamer and before any test.
#include "ElementLifetimes.h"

#include <gtest/gtest.h>

namespace {

class ElementHookEnvironment : public testing::Environment {
 public:
  void SetUp() override { playertest::ElementLifetimes::Instance(); }
};

[[maybe_unused]] testing::Environment *const kElementHook =
    testing::AddGlobalTestEnvironment(new ElementHookEnvironment);

}  // namespace
