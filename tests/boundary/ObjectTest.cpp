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

TEST_F(ReportErrorTest, LowCodesCarryTheTypeNameHighCodesTheErrorText) {
  Probe converter(kWaveformatConverter);
  converter.SetErrorText("device text");
  converter.ReportError(17);
  converter.ReportError(99);
  converter.ReportError(100);
  converter.ReportError(101);
  ASSERT_EQ(errors_.codes.size(), 4u);
  EXPECT_EQ(errors_.codes[0], 17);
  EXPECT_EQ(errors_.texts[0], "Waveformat Converter");
  EXPECT_EQ(errors_.texts[1], "Waveformat Converter");
  EXPECT_EQ(errors_.texts[2], "device text");
  EXPECT_EQ(errors_.texts[3], "device text");
  EXPECT_EQ(converter.LastError(), 101);
}

TEST_F(ReportErrorTest, QuietObjectOnlyRecords) {
  Probe file(kMultimediaFile);
  file.SetQuiet(true);
  EXPECT_EQ(file.Fail(4), 4);
  EXPECT_EQ(file.LastError(), 4);
  EXPECT_TRUE(errors_.codes.empty());
}

TEST_F(ReportErrorTest, NoHandlerRecordsOnly) {
  SetErrorHandler(nullptr);
  Probe list(kList);
  list.ReportError(13);
  EXPECT_EQ(list.LastError(), 13);
  EXPECT_TRUE(errors_.codes.empty());
}

}  // namespace
