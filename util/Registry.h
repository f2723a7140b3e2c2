// Settings store over one ini file's profile sections: sections are read and
// written whole; entries are key=value lines kept in file order.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "core/Object.h"

class List;

// One key=value line of a section.
constexpr int kSettingKeySize = 32;     // 31 characters and the zero
constexpr int kSettingValueSize = 256;  // 255 characters and the zero
struct SettingEntry {
  char key[kSettingKeySize];
  char value[kSettingValueSize];
};
static_assert(sizeof(SettingEntry) == 288, "a setting entry is 288 bytes");

// The largest section text read or written, zero bytes counted.
constexpr int kSectionTextSize = 16384;

class Registry : public Object {
 public:
  Registry();
  // Deletes the sections; writes nothing.
  ~Registry() override;
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Names the ini file; a bare name lives in the Windows directory.
  void SetFileName(const char* fileName);
  const char* FileName() const { return fileName_; }
  // Whether SetValue adds keys that do not exist yet (on after construction).
  void SetAddMissingKeys(bool add) { addMissingKeys_ = add; }

  // Makes the named section current: one already loaded (exact name), else one read
  // from the file (when load is set and a file is named) or a new empty one.
  // 0, 13 the section does not fit into its list, 19 out of memory.
  int SelectSection(const char* name, bool load);
  // Writes the current section to the file, replacing it there. 0, 5, 13, 16.
  int SaveSection();
  // Reads a section of a file into a new list; null on failure (the last error
  // is then 13 or 19). A missing file or section gives an empty list.
  std::unique_ptr<List> ReadSection(const char* fileName, const char* sectionName);
  // Replaces the section of the file with the section's lines. 0, 5 refused, 13 too long.
  int WriteSection(List* section, const char* fileName, const char* sectionName);

  // Index of the entry with exactly this key in the current section, or -1.
  int32_t FindKey(const char* key) const;
  // The value of key in the current section, or null when missing.
  const char* GetValue(const char* key) const;
  // Sets an existing key, or adds a missing one when allowed. 0, 13, 15, 16.
  int SetValue(const char* key, const char* value);
  // Appends key=value to the current section. 0, 13, 16.
  int AddEntry(const char* key, const char* value);
  // The two numbers of key's value read as "%i,%i" (decimal, 0x hex, 0 octal),
  // or the defaults when the key is missing or holds fewer than two numbers.
  POINT GetPoint(const char* key, int32_t defaultX, int32_t defaultY) const;
  // SetValue with the decimal text "x,y".
  int SetPoint(const char* key, int32_t x, int32_t y);

  // The current section, or null.
  List* CurrentSection() const { return current_; }
  int32_t SectionCount() const { return sectionCount_; }

 private:
  SettingEntry* EntryAt(int32_t index) const;
  // Keeps a line too long for an entry's fields in the store's own text, and
  // makes entry stand for it (an empty key, which no setting has). False: no memory.
  bool KeepVerbatim(const char* line, size_t length, SettingEntry* entry);
  // The kept line an entry stands for, or null for an ordinary entry.
  const char* VerbatimLine(const SettingEntry* entry) const;

  // Lines kept whole, each ended by a zero; entries refer to them by offset.
  std::unique_ptr<char[]> verbatim_;
  size_t verbatimUsed_ = 0;
  size_t verbatimCapacity_ = 0;

  std::unique_ptr<std::unique_ptr<List>[]> sections_;
  int32_t sectionCount_ = 0;
  int32_t sectionCapacity_ = 0;
  List* current_ = nullptr;
  char fileName_[256];
  bool addMissingKeys_ = true;
};
