#include "util/Registry.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"
#include "core/List.h"
#include "util/PathText.h"

namespace {
// Sections start with room for one entry and grow one entry at a time.
std::unique_ptr<List> NewSection(const char* name) {
  std::unique_ptr<List> section(new (std::nothrow) List(1, sizeof(SettingEntry), 1, true, name));
  // Sections only record their errors; the store reports them under its own name.
  if (section) section->SetQuiet(true);
  return section;
}

// A key the entry record can hold whole: keys cut short would turn into other keys.
bool KeyFits(const char* key) {
  return key && key[0] != '\0' && strlen(key) < static_cast<size_t>(kSettingKeySize);
}
}  // namespace

Registry::Registry() {
  classId_ = kRegistry;
  fileName_[0] = '\0';
}

Registry::~Registry() = default;

namespace {
// Second key byte of an entry that stands for a line kept whole.
constexpr char kVerbatimMark = 1;
}  // namespace

// Called by ReadSection for a line whose key or value the entry cannot hold: cut,
// it would turn into another key (or another value) when the section is written.
bool Registry::KeepVerbatim(const char* line, size_t length, SettingEntry* entry) {
  if (verbatimUsed_ + length + 1 > verbatimCapacity_) {
    size_t capacity = verbatimCapacity_ + (length + 1 > kSectionTextSize ? length + 1 : kSectionTextSize);
    std::unique_ptr<char[]> grown(new (std::nothrow) char[capacity]);
    if (!grown) return false;
    if (verbatim_) memcpy(grown.get(), verbatim_.get(), verbatimUsed_);
    verbatim_ = std::move(grown);
    verbatimCapacity_ = capacity;
  }
  uint32_t offset = static_cast<uint32_t>(verbatimUsed_);
  memcpy(verbatim_.get() + verbatimUsed_, line, length);
  verbatim_[verbatimUsed_ + length] = '\0';
  verbatimUsed_ += length + 1;
  memset(entry, 0, sizeof *entry);
  entry->key[1] = kVerbatimMark;
  memcpy(entry->value, &offset, sizeof offset);
  return true;
}

const char* Registry::VerbatimLine(const SettingEntry* entry) const {
  if (entry->key[0] != '\0' || entry->key[1] != kVerbatimMark || !verbatim_) return nullptr;
  uint32_t offset;
  memcpy(&offset, entry->value, sizeof offset);
  return offset < verbatimUsed_ ? verbatim_.get() + offset : nullptr;
}

void Registry::SetFileName(const char* fileName) {
  lstrcpynA(fileName_, fileName ? fileName : "", sizeof fileName_);
}

SettingEntry* Registry::EntryAt(int32_t index) const {
  return current_ ? static_cast<SettingEntry*>(current_->GetAt(index)) : nullptr;
}

// Every read and change works on one section, loaded from the file the first time it is selected.
int Registry::SelectSection(const char* name, bool load) {
  if (!name) name = "";
  if (fileName_[0] == '\0') load = false;
  for (int32_t i = 0; i < sectionCount_; ++i) {
    if (strcmp(sections_[i]->Name(), name) == 0) {
      current_ = sections_[i].get();
      lastError_ = 0;
      return 0;
    }
  }
  std::unique_ptr<List> section;
  if (load) {
    section = ReadSection(fileName_, name);
    if (!section) return lastError_;
  } else {
    section = NewSection(name);
    if (!section) return Fail(Error::OutOfMemory);
  }
  if (sectionCount_ >= sectionCapacity_) {
    std::unique_ptr<std::unique_ptr<List>[]> table(new (std::nothrow) std::unique_ptr<List>[sectionCapacity_ + 1]);
    if (!table) return Fail(Error::OutOfMemory);
    for (int32_t i = 0; i < sectionCount_; ++i) table[i] = std::move(sections_[i]);
    sections_ = std::move(table);
    sectionCapacity_ += 1;
  }
  current_ = section.get();
  sections_[sectionCount_++] = std::move(section);
  lastError_ = 0;
  return 0;
}

// Nothing reaches the file before this: the file is written once, not per change.
int Registry::SaveSection() {
  if (!current_) return Fail(Error::SectionMissing);
  return WriteSection(current_, fileName_, current_->Name());
}

// A section missing from the file is an empty one, not an error.
std::unique_ptr<List> Registry::ReadSection(const char* fileName, const char* sectionName) {
  std::unique_ptr<List> section = NewSection(sectionName);
  if (!section) {
    ReportError(Error::OutOfMemory);
    return nullptr;
  }
  char text[kSectionTextSize];
  DWORD length = GetPrivateProfileSectionA(sectionName ? sectionName : "", text, sizeof text, fileName);
  if (length >= sizeof text) length = sizeof text - 1;
  text[length] = '\0';
  DWORD at = 0;
  while (at < length) {
    const char* line = text + at;
    size_t lineLength = strnlen(line, length - at);
    at += static_cast<DWORD>(lineLength) + 1;
    SettingEntry entry;
    memset(&entry, 0, sizeof entry);
    // A line without "=" is a key with an empty value; lines with an empty key are dropped.
    const char* equals = strchr(line, '=');
    size_t keyLength = equals ? static_cast<size_t>(equals - line) : lineLength;
    size_t valueLength = equals ? lineLength - keyLength - 1 : 0;
    if (keyLength == 0) continue;
    if (keyLength >= sizeof entry.key || valueLength >= sizeof entry.value) {
      // Other programs' settings too long for an entry are written back as they were.
      if (!KeepVerbatim(line, lineLength, &entry)) {
        ReportError(Error::OutOfMemory);
        return nullptr;
      }
    } else {
      SplitAtChar(entry.key, entry.value, line, '=', sizeof entry.key, sizeof entry.value);
    }
    if (section->Append(&entry) != 0) {
      ReportError(Error::IndexRange);
      return nullptr;
    }
  }
  lastError_ = 0;
  return section;
}

// The file's section is replaced by exactly these lines: removed keys go from the file too.
int Registry::WriteSection(List* section, const char* fileName, const char* sectionName) {
  if (!section || !sectionName) return Fail(Error::SectionMissing);
  if (!fileName || fileName[0] == '\0') return Fail(Error::Write);
  char block[kSectionTextSize];
  memset(block, 0, sizeof block);
  size_t used = 0;
  for (int32_t i = 0; i < section->Count(); ++i) {
    const SettingEntry* entry = static_cast<const SettingEntry*>(section->GetAt(i));
    const char* verbatim = VerbatimLine(entry);
    size_t length = verbatim ? strlen(verbatim)
                             : strnlen(entry->key, sizeof entry->key) + 1 + strnlen(entry->value, sizeof entry->value);
    // The line, its zero and the block's final zero must fit.
    if (used + length + 2 > sizeof block) return Fail(Error::IndexRange);
    if (verbatim)
      memcpy(block + used, verbatim, length);
    else
      snprintf(block + used, sizeof block - used, "%.*s=%.*s", kSettingKeySize - 1, entry->key,
               kSettingValueSize - 1, entry->value);
    used += length + 1;
  }
  if (!WritePrivateProfileSectionA(sectionName, block, fileName)) return Fail(Error::Write);
  lastError_ = 0;
  return 0;
}

// Exact and case-sensitive, the first match counts, as the file stores keys.
int32_t Registry::FindKey(const char* key) const {
  // No setting has an empty key: such entries stand for lines kept whole.
  if (!current_ || !key || key[0] == '\0') return -1;
  for (int32_t i = 0; i < current_->Count(); ++i) {
    if (strcmp(EntryAt(i)->key, key) == 0) return i;
  }
  return -1;
}

const char* Registry::GetValue(const char* key) const {
  SettingEntry* entry = EntryAt(FindKey(key));
  return entry ? entry->value : nullptr;
}

// Called to change a setting in memory; SaveSection writes it.
int Registry::SetValue(const char* key, const char* value) {
  if (!current_) return Fail(Error::SectionMissing);
  SettingEntry* entry = EntryAt(FindKey(key));
  if (entry) {
    lstrcpynA(entry->value, value ? value : "", sizeof entry->value);
    lastError_ = 0;
    return 0;
  }
  if (!addMissingKeys_) return Fail(Error::KeyMissing);
  return AddEntry(key, value);
}

// Called to add a setting after the last one.
int Registry::AddEntry(const char* key, const char* value) {
  if (!current_) return Fail(Error::SectionMissing);
  if (!KeyFits(key)) return Fail(Error::KeyMissing);
  SettingEntry entry;
  memset(&entry, 0, sizeof entry);
  lstrcpynA(entry.key, key, sizeof entry.key);
  lstrcpynA(entry.value, value ? value : "", sizeof entry.value);
  if (current_->Append(&entry) != 0) return Fail(Error::IndexRange);
  lastError_ = 0;
  return 0;
}

// A value that is not two numbers keeps the defaults: a damaged file never misplaces a window.
POINT Registry::GetPoint(const char* key, int32_t defaultX, int32_t defaultY) const {
  POINT point = {defaultX, defaultY};
  const char* value = GetValue(key);
  int x = 0, y = 0;
  if (value && sscanf(value, "%i,%i", &x, &y) == 2) {
    point.x = x;
    point.y = y;
  }
  return point;
}

// Stored as "x,y", the form GetPoint reads.
int Registry::SetPoint(const char* key, int32_t x, int32_t y) {
  char text[32];
  snprintf(text, sizeof text, "%i,%i", static_cast<int>(x), static_cast<int>(y));
  return SetValue(key, text);
}
