#include "tests/common/TestKit.h"

#include <cstdio>
#include <cstdlib>

namespace testkit {

std::string WinPath(const std::string& unixPath) {
  std::string out = unixPath;
  for (char& ch : out)
    if (ch == '/') ch = '\\';
  if (!out.empty() && out[0] == '\\') out = "Z:" + out;
  return out;
}

static std::string EnvPath(const char* name) {
  const char* value = getenv(name);
  return value ? WinPath(value) : std::string();
}

std::string DataPath(const std::string& name) { return EnvPath("SONDREL_TESTDATA") + "\\" + name; }

std::string BinPath(const std::string& name) {
  std::string bin = EnvPath("SONDREL_BIN");
  if (bin.empty()) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    bin = path;
    bin = bin.substr(0, bin.find_last_of('\\'));
  }
  return bin + "\\" + name;
}

std::string ScratchDir(const std::string& name) {
  std::string dir = DataPath("scratch");
  CreateDirectoryA(dir.c_str(), nullptr);
  dir += "\\" + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  // Empty it: a previous run may have left files.
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((dir + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return dir;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  unsigned char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(f);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace testkit
