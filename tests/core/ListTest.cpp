#include <gtest/gtest.h>

#include <cstring>

#include "core/List.h"

namespace {

struct Name {
  char text[256];
};

Name Make(const char* text) {
  Name n;
  memset(&n, 0, sizeof n);
  strncpy(n.text, text, sizeof n.text - 1);
  return n;
}

const char* At(const List& list, int32_t i) { return static_cast<const Name*>(list.GetAt(i))->text; }

TEST(ListContainer, FixedListRefusesWhenFull) {
  List names(4, sizeof(Name), 1, false, nullptr);
  names.SetQuiet(true);
  for (const char* n : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
    Name record = Make(n);
    EXPECT_EQ(names.Append(&record), 0);
  }
  Name fifth = Make("e.wav");
  EXPECT_EQ(names.Append(&fifth), 13);
  EXPECT_EQ(names.LastError(), 13);
  EXPECT_EQ(names.Count(), 4);
  EXPECT_EQ(names.Capacity(), 4);
  EXPECT_STREQ(At(names, 3), "d.wav");
}

}  // namespace
