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
// The x86_64 build's bin folder, as a Windows path (with a trailing backslash).
std::string BinPath(const std::string& name = "");
// A fresh empty folder under the test data folder for one test (Windows path, no trailing slash).
std::string ScratchDir(const std::string& name);

std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

using hostkit::MessageBoxWatcher;
using hostkit::PumpMessages;

}  // namespace testkit
