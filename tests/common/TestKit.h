// Helpers shared by the test programs: test data paths, Linux paths as Windows
// paths, recording and dismissing message boxes, real input and dialogs
// (Input.h), and pixels read back from windows (Pixels.h).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "host/MessageBoxWatcher.h"
#include "tests/common/Input.h"
#include "tests/common/Pixels.h"

namespace testkit {

// A Linux path as Windows sees it under Wine (Z: followed by the path, backslashes).
std::string WinPath(const std::string& unixPath);
// A file or folder made by a data script: $SONDREL_TESTDATA/name, as a Windows path.
std::string DataPath(const std::string& name);
// The bin folder of the build under test, as a Windows path (with a trailing backslash).
std::string BinPath(const std::string& name = "");
// A fresh empty folder (emptied at any depth) under the test data folder for one test
// (Windows path, no trailing slash).
std::string ScratchDir(const std::string& name);

std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// A file's last-write time (zero when it cannot be read).
FILETIME WriteTime(const std::string& path);
// Sets a file's last-write time; false when the file cannot be opened or stamped.
bool SetWriteTime(const std::string& path, const FILETIME& time);
// A time the given number of seconds after another.
FILETIME Later(const FILETIME& time, int seconds);
// The picture cache file beside a wave file: its path with "owi" for the "wav" extension.
std::string CachePathOf(const std::string& wavePath);

// A program started with its output collected in files; killed if still running when destroyed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts commandLine (the program path first, quoted when it holds blanks) in
  // cwd (the test's own when empty); false when it could not be started.
  bool Start(const std::string& commandLine, const std::string& cwd = "");
  // Waits up to timeoutMs for the program to end; false (and the program
  // killed) when it did not.
  bool Wait(DWORD timeoutMs = 60000);
  bool Running() const;
  DWORD ExitCode() const { return exitCode_; }
  std::string Out() const;
  std::string Err() const;

 private:
  HANDLE process_ = nullptr;
  DWORD exitCode_ = STILL_ACTIVE;
  std::string outPath_, errPath_;
};

struct ProcessResult {
  bool finished = false;  // started and ended within the time-out
  DWORD exitCode = 0;
  std::string out, err;
};

// Runs a program to its end (see ChildProcess).
ProcessResult RunProgram(const std::string& commandLine, const std::string& cwd = "", DWORD timeoutMs = 60000);
// The command line of orvan-host.exe (of the build, or the one given) with these arguments, each quoted.
std::string HostCommandLine(const std::vector<std::string>& args, const std::string& host = "");

// True when the named mutex "ChannelLock<c>" exists on the machine (some process holds it).
bool ChannelLockExists(int c);

// Writes text to a file (a session script, say); false on failure.
bool WriteTextFile(const std::string& path, const std::string& text);
// The lines of a text file, without line ends.
std::vector<std::string> ReadLines(const std::string& path);

using hostkit::MessageBoxWatcher;
using hostkit::PumpMessages;

}  // namespace testkit
