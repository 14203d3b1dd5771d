// A gtest fixture that fails a test when stand-in objects it created are
// still alive at its end.
#ifndef QUILLMOSS_TESTS_SUPPORT_LIVE_OBJECT_CHECK_H_
#define QUILLMOSS_TESTS_SUPPORT_LIVE_OBJECT_CHECK_H_

#include "cef_standin/driver/renderer_driver.h"
#include "gtest/gtest.h"

namespace testing_support {

class LiveObjectCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override { live_at_start_ = standin::LiveObjectCount(); }
  void TearDown() override {
    EXPECT_EQ(live_at_start_, standin::LiveObjectCount())
        << "stand-in objects outlived the test";
  }

 private:
  int live_at_start_ = 0;
};

}  // namespace testing_support

#endif  // QUILLMOSS_TESTS_SUPPORT_LIVE_OBJECT_CHECK_H_
