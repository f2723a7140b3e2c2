// The settings store against the platform's real profile calls, on private ini
// files: the host's settings file is shared, so a save must keep what other
// programs wrote. The window's position itself is checked with the plug-in
// (PluginWindowTest).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/common/TestKit.h"
#include "core/List.h"
#include "util/Registry.h"

namespace {

const char kSection[] = "Orvan Sondrel";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    ini_ = testkit::ScratchDir(std::string("registry_") + info->name()) + "\\settings.ini";
    store_.SetQuiet(true);
    store_.SetFileName(ini_.c_str());
  }
  void WriteIni(const std::string& text) {
    ASSERT_TRUE(testkit::WriteFileBytes(ini_, std::vector<unsigned char>(text.begin(), text.end())));
  }
  std::string IniText() {
    std::vector<unsigned char> bytes = testkit::ReadFileBytes(ini_);
    std::string text(bytes.begin(), bytes.end());
    std::string plain;
    for (char c : text)
      if (c != '\r') plain += c;
    return plain;
  }
  std::string ini_;
  Registry store_;
};

TEST_F(RegistryTest, NewKeysAreAppendedAndSavedLast) {
  WriteIni("[First]\na=1\n[Orvan Sondrel]\nVolume=7\nMainWndPos=100,200\n[Other]\nb=2\n");
  ASSERT_EQ(store_.SelectSection(kSection, true), 0);
  ASSERT_EQ(store_.SetPoint("MainWndPos", -20, 30), 0);
  ASSERT_EQ(store_.SetPoint("NewKey", 3, 4), 0);
  EXPECT_EQ(store_.FindKey("NewKey"), 2);
  ASSERT_EQ(store_.SaveSection(), 0);
  EXPECT_EQ(IniText(), "[First]\na=1\n[Orvan Sondrel]\nVolume=7\nMainWndPos=-20,30\nNewKey=3,4\n[Other]\nb=2\n");

  Registry again;
  again.SetFileName(ini_.c_str());
  ASSERT_EQ(again.SelectSection(kSection, true), 0);
  POINT p = again.GetPoint("MainWndPos", 0, 0);
  EXPECT_EQ(p.x, -20);
  EXPECT_EQ(p.y, 30);
}

TEST_F(RegistryTest, LinesTooLongForAnEntryAreWrittenBackAsTheyWere) {
  // Other programs share the section: their long keys and values must survive a save.
  std::string longKey(40, 'K'), longValue(300, 'v');
  std::string others = longKey + "=1\nShort=" + longValue + "\n";
  WriteIni("[Orvan Sondrel]\n" + others + "MainWndPos=1,2\n");
  ASSERT_EQ(store_.SelectSection(kSection, true), 0);
  EXPECT_EQ(store_.FindKey(longKey.substr(0, 31).c_str()), -1);
  EXPECT_EQ(store_.FindKey("Short"), -1);
  EXPECT_EQ(store_.FindKey(""), -1);
  ASSERT_EQ(store_.SetPoint("MainWndPos", 5, 6), 0);
  ASSERT_EQ(store_.SaveSection(), 0);
  EXPECT_EQ(IniText(), "[Orvan Sondrel]\n" + others + "MainWndPos=5,6\n");
}

TEST_F(RegistryTest, ASectionTooLongForTheBlockIsNotWritten) {
  WriteIni("[Orvan Sondrel]\nMainWndPos=1,2\n");
  ASSERT_EQ(store_.SelectSection(kSection, true), 0);
  std::string value(255, 'v');
  // 64 lines of 31 + 1 + 255 characters and their zeros: more than 16384 bytes.
  for (int i = 0; i < 64; ++i) {
    char key[32];
    snprintf(key, sizeof key, "%031d", i);
    ASSERT_EQ(store_.AddEntry(key, value.c_str()), 0);
  }
  EXPECT_EQ(store_.SaveSection(), 13);
  EXPECT_EQ(IniText(), "[Orvan Sondrel]\nMainWndPos=1,2\n");
  // 56 of them fit: 15 + 56 × 288 + 1 = 16144 bytes.
  while (store_.CurrentSection()->Count() > 57) store_.CurrentSection()->RemoveAt(1);
  EXPECT_EQ(store_.SaveSection(), 0);
  Registry again;
  again.SetFileName(ini_.c_str());
  ASSERT_EQ(again.SelectSection(kSection, true), 0);
  EXPECT_EQ(again.CurrentSection()->Count(), 57);
  EXPECT_EQ(std::string(again.GetValue(static_cast<SettingEntry*>(again.CurrentSection()->GetAt(56))->key)), value);
}

TEST_F(RegistryTest, RefusedWritesAreCode5) {
  store_.SetFileName((ini_ + "\\no such folder\\x.ini").c_str());
  ASSERT_EQ(store_.SelectSection(kSection, true), 0);
  ASSERT_EQ(store_.SetPoint("MainWndPos", 1, 2), 0);
  EXPECT_EQ(store_.SaveSection(), 5);
  // Without a file name nothing is loaded and nothing can be saved.
  Registry nameless;
  nameless.SetQuiet(true);
  ASSERT_EQ(nameless.SelectSection(kSection, true), 0);
  EXPECT_EQ(nameless.CurrentSection()->Count(), 0);
  EXPECT_EQ(nameless.SaveSection(), 5);
}

}  // namespace
