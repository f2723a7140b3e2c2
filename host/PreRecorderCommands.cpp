// The script commands that act on the plug-in's pre-recorder window as a person
// does: its start and stop keys, its configuration dialog (a right-click on its
// background), its output display with the "Save wave as" dialog, screenshots,
// and what the capture device hears (the feeder).
#include <cstdio>
#include <cstring>

#include "host/CaptureFeed.h"
#include "host/DialogHelper.h"
#include "host/MainWindowLayout.h"
#include "host/PngWriter.h"
#include "host/ScriptRunner.h"
#include "host/UserInput.h"

namespace hostkit {

namespace {

constexpr const char* kPreRecorderTitle = "pre-recorder";
constexpr const char* kConfigTitle = "Configure Pre-Recorder";
constexpr const char* kSaveTitle = "Save wave as";
// Points of the pre-recorder on no control, inside its outline: the pointer
// rests at the first; the second is the background a right-click opens the
// configuration dialog on.
constexpr POINT kPreRecorderRest = {133, 108};
constexpr POINT kPreRecorderBackground = {133, 60};
constexpr RECT kStartKey = {149, 46, 169, 63};
constexpr RECT kStopKey = {181, 46, 201, 63};
constexpr RECT kOutputDisplay = {166, 82, 286, 96};
// Dialog items of the configuration dialog.
constexpr int kDeviceList = 1027;
constexpr int kMonoButton = 1028;
constexpr int kStereoButton = 1029;

// Where the take of the running recording can be found once it is stopped.
struct TakeWatch {
  FILETIME started = {};
  std::string browsed;  // the path given to "prerec browse", if any
} g_take;

// The pre-recorder window, shown; null with *error when there is none or it is hidden.
HWND ShownPreRecorder(std::string* error) {
  return FindShownWindow(kMainWindowClass, kPreRecorderTitle, "pre-recorder window", "\"click prerec\" shows it",
                         error);
}

bool NotEarlier(const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) >= 0; }

// The newest wave file written since the take started: the browsed path or one in
// "Userfiles" beside this program. Empty when none.
std::string FindTake() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!g_take.browsed.empty() && GetFileAttributesExA(g_take.browsed.c_str(), GetFileExInfoStandard, &data) &&
      NotEarlier(data.ftLastWriteTime, g_take.started))
    return g_take.browsed;
  char program[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  if (n == 0 || n >= sizeof program) return "";
  std::string folder = FolderOf(program) + "\\Userfiles";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*.wav").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return "";
  std::string newest;
  FILETIME newestTime = g_take.started;
  do {
    if (NotEarlier(found.ftLastWriteTime, newestTime)) {
      newestTime = found.ftLastWriteTime;
      newest = folder + "\\" + found.cFileName;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return newest;
}

// Lines of the events log from line `from` on (the log is flushed line by line).
std::vector<std::string> EventLines(HostSession* session, size_t from) {
  std::vector<std::string> lines;
  FILE* file = fopen(session->OutPath("events.jsonl").c_str(), "rb");
  if (!file) return lines;
  char line[4096];
  for (size_t i = 0; fgets(line, sizeof line, file); ++i)
    if (i >= from) lines.push_back(line);
  fclose(file);
  return lines;
}

// The channel (1..4) of the first channel-open event (6) among lines, or 0.
long long OpenedChannel(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line.find("\"type\":\"event\"") == std::string::npos || line.find("\"code\":6,") == std::string::npos)
      continue;
    size_t at = line.find("\"channel\":");
    if (at != std::string::npos) return atoll(line.c_str() + at + 10);
  }
  return 0;
}

}  // namespace

// click record | click stoprec: a real click on the pre-recorder's start or stop key.
// After a stop the take's path is logged, with the track it landed in (if any).
bool ClickPreRecorder(HostSession* session, const ScriptArgs& args, std::string* error) {
  const bool start = args[0] == "record";
  if (args.size() != 1) {
    *error = "usage: click " + args[0];
    return false;
  }
  if (!session) return true;
  HWND recorder = ShownPreRecorder(error);
  if (!recorder) return false;
  session->Events().Append(JsonObject().Add("type", "click").Add("control", args[0]));
  size_t before = EventLines(session, 0).size();
  if (start) GetSystemTimeAsFileTime(&g_take.started);
  if (!ClickAt(recorder, Centre(start ? kStartKey : kStopKey), kPreRecorderRest, error)) return false;
  if (start) return true;
  std::string take = FindTake();
  if (take.empty()) return true;  // the take did not stop (or never started): the boxes tell why
  JsonObject line;
  line.Add("type", "take").Add("path", take);
  long long channel = OpenedChannel(EventLines(session, before));
  if (channel) line.Add("channel", channel);
  line.AddBool("loaded", channel != 0);
  session->Events().Append(line);
  return true;
}

// screenshot prerec FILE.png: the pre-recorder window as it is on the screen.
bool ScreenshotPreRecorder(HostSession* session, const std::string& file, std::string* error) {
  HWND recorder = ShownPreRecorder(error);
  if (!recorder) return false;
  std::string path = session->OutputPath(file);
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  if (!CaptureWindowPixels(recorder, &width, &height, &pixels)) {
    *error = "cannot read the pre-recorder's pixels";
    return false;
  }
  if (!CreateFolders(FolderOf(path)) || !WritePng(path, width, height, pixels, true)) {
    *error = "cannot write " + path;
    return false;
  }
  session->Events().Append(JsonObject()
                               .Add("type", "screenshot")
                               .Add("window", "prerec")
                               .Add("file", path)
                               .Add("width", width)
                               .Add("height", height));
  return true;
}

namespace {

// Helper thread: logs the configuration dialog's device list and choice, makes the
// script's choice and ends the dialog with "&Apply" or "&Close".
bool Configure(HostSession* session, HWND dialog, int device, bool stereo, bool apply, std::string* note) {
  JsonObject line;
  line.Add("type", "dialog").Add("title", kConfigTitle);
  HWND list = GetDlgItem(dialog, kDeviceList);
  int count = (int)SendMessageA(list, CB_GETCOUNT, 0, 0);
  std::string devices;
  for (int i = 0; i < count; ++i) {
    char name[256] = "";
    if (SendMessageA(list, CB_GETLBTEXTLEN, i, 0) < (LRESULT)sizeof name)
      SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
    devices += (i ? "|" : "") + std::string(name);
  }
  line.Add("devices", devices)
      .Add("selected", (int)SendMessageA(list, CB_GETCURSEL, 0, 0))
      .AddBool("stereo", IsDlgButtonChecked(dialog, kStereoButton) == BST_CHECKED);
  session->Events().Append(line);
  bool ok = true;
  if (SendMessageA(list, CB_SETCURSEL, device, 0) == CB_ERR) {
    *note = "the dialog lists no device " + std::to_string(device) + " (" + std::to_string(count) + " devices)";
    ok = false;
  }
  CheckRadioButton(dialog, kMonoButton, kStereoButton, stereo ? kStereoButton : kMonoButton);
  PostMessageA(dialog, WM_COMMAND, ok && apply ? IDOK : IDCANCEL, 0);
  return ok;
}

// prerec config DEVICE mono|stereo apply|close | prerec browse PATH.
bool PreRec(HostSession* session, const ScriptArgs& args, std::string* error) {
  const bool config = args[0] == "config" && args.size() == 4;
  const bool browse = args[0] == "browse" && args.size() == 2;
  long long device = 0;
  if (config && (!ParseScriptNumber(args[1], &device) || device < 0 || device > 255 ||
                 (args[2] != "mono" && args[2] != "stereo") || (args[3] != "apply" && args[3] != "close"))) {
    *error = "usage: prerec config DEVICE mono|stereo apply|close";
    return false;
  }
  if (!config && !browse) {
    *error = "usage: prerec config DEVICE mono|stereo apply|close | prerec browse PATH";
    return false;
  }
  if (!session) return true;
  HWND recorder = ShownPreRecorder(error);
  if (!recorder) return false;
  const std::string title = config ? kConfigTitle : kSaveTitle;
  std::string path = browse ? session->OutputPath(args[1]) : "";
  const bool stereo = config && args[2] == "stereo", apply = config && args[3] == "apply";
  JsonObject line;
  line.Add("type", "prerec").Add("action", args[0]);
  if (config) line.Add("device", device).Add("channels", stereo ? 2 : 1).Add("end", args[3]);
  else line.Add("path", path);
  session->Events().Append(line);
  DialogHelper helper(title, [=](HWND dialog, std::string* note) {
    if (!browse) return Configure(session, dialog, (int)device, stereo, apply, note);
    if (EnterFileName(dialog, path)) return true;
    *note = "the save dialog has no file name box";
    return false;
  });
  if (!helper.Start()) {
    *error = "cannot start the dialog helper";
    return false;
  }
  bool clicked = config ? RightClickAt(recorder, kPreRecorderBackground, kPreRecorderRest, error)
                        : ClickAt(recorder, Centre(kOutputDisplay), kPreRecorderRest, error);
  std::string note;
  DialogHelper::Outcome outcome = helper.Finish(&note);
  if (!clicked) return false;
  if (outcome == DialogHelper::kNotSeen) {
    // The configuration dialog is not offered while recording: that is logged, not fatal.
    session->Events().Append(JsonObject().Add("type", "nodialog").Add("title", title));
    return true;
  }
  if (outcome != DialogHelper::kDone) {
    *error = "\"" + title + "\" was not answered: " + note;
    return false;
  }
  if (browse) g_take.browsed = path;
  return true;
}

// The feeder runs beside Wine: a file on drive Z: is the Linux file of that path.
std::string FeederPath(std::string path) {
  if (path.size() < 3 || (path[0] != 'Z' && path[0] != 'z') || path[1] != ':') return path;
  path = path.substr(2);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

// feed SIGNAL | feed stop: what the capture device hears from now on.
bool Feed(HostSession* session, const ScriptArgs& args, std::string* error) {
  std::string spec;
  if (args[0] == "stop" || args[0] == "silence") spec = args[0];
  else if (args[0] == "sequence") spec = "sequence " + (args.size() > 1 ? args[1] : std::string("1"));
  else if (args.size() == 1) spec = "file";
  if (spec.empty() || (args.size() > 1 && args[0] != "sequence") ||
      (args[0] == "sequence" && args.size() > 1 && args[1] != "1" && args[1] != "2")) {
    *error = "usage: feed sequence [1|2] | feed silence | feed FILE.wav | feed stop";
    return false;
  }
  if (!session) return true;
  if (spec == "file") spec = "file " + FeederPath(session->InputPath(args[0]));
  char message[256] = "";
  bool fed = spec == "stop" ? StopFeed() : FeedSignal(spec.c_str(), message, sizeof message);
  if (!fed) {
    *error = "the capture feeder did not take \"" + spec + "\"" + (message[0] ? std::string(": ") + message : "");
    return false;
  }
  session->Events().Append(JsonObject().Add("type", "feed").Add("signal", spec));
  return true;
}

}  // namespace

void AddPreRecorderCommands(ScriptRunner& runner) {
  runner.Add({"prerec", 2, 4, "prerec config DEVICE mono|stereo apply|close | prerec browse PATH", PreRec});
  runner.Add({"feed", 1, 2, "feed sequence [1|2] | feed silence | feed FILE.wav | feed stop", Feed, true});
}

}  // namespace hostkit
