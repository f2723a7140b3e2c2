// Free helpers for showing a playing time and taking paths and short texts apart.
// They work in buffers the caller owns (size bytes, the zero included) and never
// allocate; results that do not fit are cut at the buffer's end.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr int kTextSize = 256;

// "hh:mm:ss" of a number of milliseconds; the hours grow beyond two digits. Returns out.
char* FormatDuration(uint32_t ms, char* out, int size = kTextSize);
// Splits text at the first separator: true with left and right filled; false (no
// separator) with the whole text in left and right unchanged.
bool SplitAtChar(char* left, char* right, const char* text, char separator, int leftSize = kTextSize,
                 int rightSize = kTextSize);
// The part after the last backslash (the whole path when there is none). Returns name.
char* FileNameOfPath(const char* path, char* name, int size = kTextSize);
// The part before the last backslash; empty without one or when it is the first character.
void DirectoryOfPath(const char* path, char* directory, int size = kTextSize);
// The path with its file name's extension replaced by extension (given without a dot),
// or "." and extension appended when the file name has none: a dot in a folder name
// is not the file's. False, with out empty, when the result would not fit into size
// bytes (a cut name would name another file) or the path has no file name.
bool ReplaceExtension(const char* path, const char* extension, char* out, int size = kTextSize);
// Whether an entry exists at path (no wildcards); its find data is copied when asked.
bool FileExists(const char* path, WIN32_FIND_DATAA* found = nullptr);
// Whether two paths name one file: the same volume and file index, or, when either
// cannot be opened, the same full path.
bool SameFile(const char* a, const char* b);
