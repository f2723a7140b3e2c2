#include "util/PathText.h"

char* FormatDuration(uint32_t, char* out, int size) { if (out && size > 0) out[0] = '\0'; return out; }
bool SplitAtChar(char* left, char*, const char*, char, int leftSize, int) { if (left && leftSize > 0) left[0] = '\0'; return false; }
char* FileNameOfPath(const char*, char* name, int size) { if (name && size > 0) name[0] = '\0'; return name; }
void DirectoryOfPath(const char*, char* directory, int size) { if (directory && size > 0) directory[0] = '\0'; }
void ReplaceExtension(const char*, const char*, char* out, int size) { if (out && size > 0) out[0] = '\0'; }
bool CopyStringList(char*, const char*, int) { return false; }
bool FileExists(const char*, WIN32_FIND_DATAA*) { return false; }
