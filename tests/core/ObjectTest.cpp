// Without an error handler an object only records its errors. What reports look
// like to the user is checked with the plug-in's own handler (PluginTest), quiet
// objects with the wave file (WaveFileTest).
#include <gtest/gtest.h>

#include "core/Object.h"
#include "tests/common/ErrorRecorder.h"

namespace {

class Probe : public Object {
 public:
  explicit Probe(int32_t id) { classId_ = id; }
};

// Each test's errors go to the recorder, which puts the previous handler back.
class ReportErrorTest : public ::testing::Test {
 protected:
  testkit::ErrorRecorder errors_;
};

TEST_F(ReportErrorTest, NoHandlerRecordsOnly) {
  SetErrorHandler(nullptr);
  Probe list(kList);
  list.ReportError(13);
  EXPECT_EQ(list.LastError(), 13);
  EXPECT_TRUE(errors_.codes.empty());
}

}  // namespace
