// The script commands that act on the plug-in's main window as a person does:
// opening files through the strips' open buttons and the common dialog,
// clicking controls, the system close key, and screenshots.
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "host/DialogHelper.h"
#include "host/MainWindowLayout.h"
#include "host/PngWriter.h"
#include "host/ScriptRunner.h"
#include "host/UserInput.h"

namespace hostkit {

namespace {

constexpr const char* kPropertiesTitle = "Wavefile Properties";

bool Channel(const std::string& text, long long* channel, std::string* error) {
  if (ParseScriptNumber(text, channel) && *channel >= 1 && *channel <= 4) return true;
  *error = "\"" + text + "\" is not a channel from 1 to 4";
  return false;
}

// The plug-in's main window, shown; null with *error when there is none or it is hidden.
HWND ShownMainWindow(std::string* error) {
  return FindShownWindow(kMainWindowClass, kMainWindowTitle, "main window", "\"ui show\" shows it", error);
}

// Helper thread: enters the path into the file dialog's name box and confirms it.
bool AnswerFileDialog(HWND dialog, const std::string& path, std::string* note) {
  if (EnterFileName(dialog, path)) return true;
  *note = "the file dialog has no file name box";
  return false;
}

// open C PATH: clicks channel C's open button and answers "Open Wave ChC..." with PATH.
bool Open(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long channel;
  if (!Channel(args[0], &channel, error)) return false;
  if (!session) return true;
  std::string path = session->InputPath(args[1]);
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "no such file: " + path;
    return false;
  }
  HWND main = ShownMainWindow(error);
  if (!main) return false;
  char title[64];
  snprintf(title, sizeof title, "Open Wave Ch%d...", (int)channel);
  session->Events().Append(JsonObject().Add("type", "open").Add("channel", channel).Add("path", path));
  DialogHelper helper(title, [path](HWND dialog, std::string* note) { return AnswerFileDialog(dialog, path, note); });
  if (!helper.Start()) {
    *error = "cannot start the dialog helper";
    return false;
  }
  RECT rect;
  FindControlRect("open", (int)channel, &rect);
  bool clicked = ClickAt(main, Centre(rect), kRestPoint, error);
  std::string note;
  DialogHelper::Outcome outcome = helper.Finish(&note);
  if (!clicked) return false;
  if (outcome == DialogHelper::kNotSeen) {
    *error = std::string("no \"") + title + "\" dialog came after a click on channel " + args[0] +
             "'s open button (is it hidden or disabled?)";
    return false;
  }
  if (outcome != DialogHelper::kDone) {
    *error = std::string("\"") + title + "\" was not answered: " + note;
    return false;
  }
  return true;
}

// Helper thread: logs the properties dialog's texts and closes it with OK.
bool RecordAndClose(HostSession* session, HWND dialog) {
  JsonObject line;
  line.Add("type", "dialog").Add("title", kPropertiesTitle);
  AddDialogTexts(dialog, &line);
  session->Events().Append(line);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  return true;
}

// click CONTROL C | click prerec: a real click on a control of the main window.
bool Click(HostSession* session, const ScriptArgs& args, std::string* error) {
  if (args[0] == "record" || args[0] == "stoprec") return ClickPreRecorder(session, args, error);
  const char* name = args[0].c_str();
  RECT rect;
  long long channel = 0;
  if (!FindControlRect(name, 1, &rect)) {
    *error = "usage: click open|close|play|pause|loop|sync|props C | click prerec|record|stoprec";
    return false;
  }
  bool strip = IsStripControl(name);
  if (strip != (args.size() == 2)) {
    *error = strip ? std::string("usage: click ") + name + " C" : "usage: click prerec";
    return false;
  }
  if (strip && !Channel(args[1], &channel, error)) return false;
  if (!session) return true;
  HWND main = ShownMainWindow(error);
  if (!main) return false;
  FindControlRect(name, (int)channel, &rect);
  JsonObject line;
  line.Add("type", "click").Add("control", name);
  if (strip) line.Add("channel", channel);
  session->Events().Append(line);
  // Only the properties button opens a dialog; a channel without a file shows none.
  bool props = strcmp(name, "props") == 0;
  DialogHelper helper(kPropertiesTitle, [session](HWND dialog, std::string*) { return RecordAndClose(session, dialog); });
  if (props && !helper.Start()) {
    *error = "cannot start the dialog helper";
    return false;
  }
  bool clicked = ClickAt(main, Centre(rect), kRestPoint, error);
  std::string note;
  DialogHelper::Outcome outcome = props ? helper.Finish(&note) : DialogHelper::kNotSeen;
  if (!clicked) return false;
  if (outcome == DialogHelper::kFailed || outcome == DialogHelper::kStuck) {
    *error = std::string("the properties dialog did not close: ") + note;
    return false;
  }
  return true;
}

// An HDROP as the shell makes it: a DROPFILES header, then the names, each ended
// by a zero, and a final zero. Null when the memory cannot be had.
HGLOBAL MakeDrop(const std::vector<std::string>& paths, POINT client) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& path : paths) size += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  DROPFILES* drop = memory ? static_cast<DROPFILES*>(GlobalLock(memory)) : nullptr;
  if (!drop) {
    if (memory) GlobalFree(memory);
    return nullptr;
  }
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = client;
  drop->fNC = FALSE;
  drop->fWide = FALSE;
  char* names = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const std::string& path : paths) {
    memcpy(names, path.c_str(), path.size() + 1);
    names += path.size() + 1;
  }
  GlobalUnlock(memory);
  return memory;
}

// drop C|none PATH...: files dropped on channel C's strip (or beside every strip),
// delivered as the shell delivers them: WM_DROPFILES posted with an HDROP.
bool Drop(HostSession* session, const ScriptArgs& args, std::string* error) {
  long long channel = 0;
  if (args[0] != "none" && !Channel(args[0], &channel, error)) return false;
  if (!session) return true;
  std::vector<std::string> paths;
  std::string joined;
  for (size_t i = 1; i < args.size(); ++i) {
    paths.push_back(session->InputPath(args[i]));
    joined += (i > 1 ? ";" : "") + paths.back();
  }
  JsonObject line;
  line.Add("type", "drop").Add("channel", channel).Add("paths", joined);
  HWND main = ShownMainWindow(error);
  if (!main) return false;
  HGLOBAL drop = MakeDrop(paths, channel ? StripDropPoint((int)channel) : kRestPoint);
  if (!drop) {
    *error = "cannot allocate the drop";
    return false;
  }
  session->Events().Append(line);
  // The window releases the drop (DragFinish) once it has read it.
  if (!PostMessageA(main, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) {
    GlobalFree(drop);
    *error = "cannot post the drop to the main window";
    return false;
  }
  // Loading runs the picture's modal progress dialog: handled inside this pump.
  PumpUntilQuiet(100, 60000);
  return true;
}

// sysclose: the system's close command as a person gives it, Alt+F4 on the window.
bool SysClose(HostSession* session, const ScriptArgs&, std::string* error) {
  if (!session) return true;
  HWND main = ShownMainWindow(error);
  if (!main) return false;
  session->Events().Append(JsonObject().Add("type", "sysclose"));
  return PressAltF4(main, error);
}

// screenshot FILE.png: the main window as it is on the screen (screenshot prerec FILE.png: the pre-recorder).
bool Screenshot(HostSession* session, const ScriptArgs& args, std::string* error) {
  if (args.size() == 2 && args[0] != "prerec") {
    *error = "usage: screenshot [prerec] FILE.png";
    return false;
  }
  if (!session) return true;
  if (args.size() == 2) return ScreenshotPreRecorder(session, args[1], error);
  HWND main = ShownMainWindow(error);
  if (!main) return false;
  std::string path = session->OutputPath(args[0]);
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  if (!CaptureWindowPixels(main, &width, &height, &pixels)) {
    *error = "cannot read the main window's pixels";
    return false;
  }
  if (!CreateFolders(FolderOf(path)) || !WritePng(path, width, height, pixels, true)) {
    *error = "cannot write " + path;
    return false;
  }
  session->Events().Append(
      JsonObject().Add("type", "screenshot").Add("file", path).Add("width", width).Add("height", height));
  return true;
}

}  // namespace

void AddWindowCommands(ScriptRunner& runner) {
  runner.Add({"open", 2, 2, "open C PATH", Open});
  runner.Add({"click", 1, 2, "click open|close|play|pause|loop|sync|props C | click prerec|record|stoprec", Click});
  runner.Add({"drop", 2, 9, "drop C|none PATH...", Drop});
  runner.Add({"sysclose", 0, 0, "sysclose", SysClose});
  runner.Add({"screenshot", 1, 2, "screenshot [prerec] FILE.png", Screenshot});
}

}  // namespace hostkit
