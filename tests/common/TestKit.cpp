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

namespace {
// Deletes everything inside dir (files and folders, at any depth), not dir itself.
void EmptyFolder(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = dir + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path);
      RemoveDirectoryA(path.c_str());
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}
}  // namespace

std::string ScratchDir(const std::string& name) {
  std::string dir = DataPath("scratch");
  CreateDirectoryA(dir.c_str(), nullptr);
  dir += "\\" + name;
  CreateDirectoryA(dir.c_str(), nullptr);
  // Empty it: a previous run may have left files.
  EmptyFolder(dir);
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

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

bool SetWriteTime(const std::string& path, const FILETIME& time) {
  HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool set = SetFileTime(h, nullptr, nullptr, &time) != FALSE;
  CloseHandle(h);
  return set;
}

FILETIME Later(const FILETIME& time, int seconds) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  value.QuadPart += (ULONGLONG)seconds * 10000000ull;
  FILETIME later = {value.LowPart, value.HighPart};
  return later;
}

std::string CachePathOf(const std::string& wavePath) { return wavePath.substr(0, wavePath.size() - 3) + "owi"; }

namespace {
// A fresh file name in the system's temporary folder.
std::string TempFile(const char* prefix) {
  char folder[MAX_PATH], path[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  GetTempFileNameA(folder, prefix, 0, path);
  return path;
}

HANDLE InheritableFile(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string FileText(const std::string& path) {
  std::vector<unsigned char> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}
}  // namespace

ChildProcess::~ChildProcess() {
  if (process_) {
    if (Running()) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
  if (!outPath_.empty()) DeleteFileA(outPath_.c_str());
  if (!errPath_.empty()) DeleteFileA(errPath_.c_str());
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& cwd) {
  outPath_ = TempFile("out");
  errPath_ = TempFile("err");
  HANDLE out = InheritableFile(outPath_, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = InheritableFile(errPath_, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE in = InheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION info = {};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                cwd.empty() ? nullptr : cwd.c_str(), &startup, &info);
  CloseHandle(out);
  CloseHandle(err);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (!started) return false;
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  return true;
}

bool ChildProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool ChildProcess::Wait(DWORD timeoutMs) {
  if (!process_) return false;
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    return false;
  }
  GetExitCodeProcess(process_, &exitCode_);
  return true;
}

std::string ChildProcess::Out() const { return FileText(outPath_); }
std::string ChildProcess::Err() const { return FileText(errPath_); }

ProcessResult RunProgram(const std::string& commandLine, const std::string& cwd, DWORD timeoutMs) {
  ProcessResult result;
  ChildProcess child;
  if (!child.Start(commandLine, cwd)) return result;
  result.finished = child.Wait(timeoutMs);
  result.exitCode = child.ExitCode();
  result.out = child.Out();
  result.err = child.Err();
  return result;
}

std::string HostCommandLine(const std::vector<std::string>& args, const std::string& host) {
  std::string line = "\"" + (host.empty() ? BinPath("orvan-host.exe") : host) + "\"";
  for (const std::string& arg : args) line += " \"" + arg + "\"";
  return line;
}

bool ChannelLockExists(int c) {
  std::string name = "ChannelLock" + std::to_string(c);
  HANDLE lock = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
  if (lock) CloseHandle(lock);
  return lock != nullptr;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  return WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = FileText(path), line;
  for (char ch : text) {
    if (ch == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line += ch;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace testkit
