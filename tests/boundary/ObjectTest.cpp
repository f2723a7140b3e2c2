#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/Object.h"

namespace {

// Records what reaches the error handler instead of showing it.
class RecordingHandler : public ErrorHandler {
 public:
  struct Call {
    int code;
    std::string text;
  };
  void ShowError(int code, const char* text) override { calls.push_back({code, text ? text : "(null)"}); }
  std::vector<Call> calls;
};

class Probe : public Object {
 public:
  explicit Probe(int32_t id) { classId_ = id; }
};

class ReportErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = GetErrorHandler();
    SetErrorHandler(&handler_);
  }
  void TearDown() override { SetErrorHandler(previous_); }
  RecordingHandler handler_;
  ErrorHandler* previous_ = nullptr;
};

TEST_F(ReportErrorTest, LowCodesCarryTheTypeNameHighCodesTheErrorText) {
  Probe converter(kWaveformatConverter);
  converter.SetErrorText("device text");
  converter.ReportError(17);
  converter.ReportError(99);
  converter.ReportError(100);
  converter.ReportError(101);
  ASSERT_EQ(handler_.calls.size(), 4u);
  EXPECT_EQ(handler_.calls[0].code, 17);
  EXPECT_EQ(handler_.calls[0].text, "Waveformat Converter");
  EXPECT_EQ(handler_.calls[1].text, "Waveformat Converter");
  EXPECT_EQ(handler_.calls[2].text, "device text");
  EXPECT_EQ(handler_.calls[3].text, "device text");
  EXPECT_EQ(converter.LastError(), 101);
}

TEST_F(ReportErrorTest, QuietObjectOnlyRecords) {
  Probe file(kMultimediaFile);
  file.SetQuiet(true);
  EXPECT_EQ(file.Fail(4), 4);
  EXPECT_EQ(file.LastError(), 4);
  EXPECT_TRUE(handler_.calls.empty());
}

TEST_F(ReportErrorTest, NoHandlerRecordsOnly) {
  SetErrorHandler(nullptr);
  Probe list(kList);
  list.ReportError(13);
  EXPECT_EQ(list.LastError(), 13);
  EXPECT_TRUE(handler_.calls.empty());
}

TEST(TypeName, NullTextReturnsIdAndWritesNothing) {
  Probe registry(kRegistry);
  EXPECT_EQ(registry.GetTypeName(nullptr), kRegistry);
  char name[32];
  memset(name, 'x', sizeof name);
  EXPECT_EQ(registry.GetTypeName(name), kRegistry);
  EXPECT_STREQ(name, "Registry");
}

TEST(TypeName, ShortBufferGetsABoundedPrefix) {
  Probe converter(kWaveformatConverter);
  char name[8];
  memset(name, 'x', sizeof name);
  EXPECT_EQ(converter.GetTypeName(name, 5), kWaveformatConverter);
  EXPECT_STREQ(name, "Wave");
  EXPECT_EQ(name[5], 'x');
  EXPECT_EQ(name[7], 'x');
}

TEST(TypeName, TableKeepsEveryIdsNumber) {
  EXPECT_STREQ(TypeNameOf(1), "[abstract]");
  EXPECT_STREQ(TypeNameOf(12), "Control");
  EXPECT_STREQ(TypeNameOf(19), "[graphics]");
  EXPECT_STREQ(TypeNameOf(28), "Application Update");
  EXPECT_STREQ(TypeNameOf(0), "");
  EXPECT_STREQ(TypeNameOf(29), "");
}

}  // namespace
