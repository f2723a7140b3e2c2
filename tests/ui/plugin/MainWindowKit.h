// What the main window tests share: the controls' rectangles from the window's
// layout (the screenshots check that the skin shows them there), the skin's
// images read back from a module, comparing a screenshot with them at a control's
// rectangle, counting progress steps and file times.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/HostTypes.h"
#include "tests/common/TestKit.h"

namespace mwkit {

enum StripControl { kOpen, kClose, kPlay, kPause, kView, kName, kSync, kLoop, kLed, kProps, kStripControlCount };

// What the host's callbacks saw, and how the event callback answers.
struct HostLog {
  std::vector<EventRecord> events;
  std::vector<InternalRecord> commands;
  std::vector<int32_t> commandCodes;
  int32_t refuse = 0;  // the event code the host refuses, 0 for none
};
extern HostLog g_host;
// Forgets what was seen and accepts everything again.
void ClearHostLog();
int32_t RecordEvent(EventRecord* record);
int32_t RecordInternal(InternalRecord* record, int32_t command);

// The rectangle of a strip control of channel index c (0..3).
RECT StripRect(StripControl control, int c);
// The pre-recorder toggle.
RECT ToggleRect();
// The middle of a rectangle, for clicks.
POINT Middle(const RECT& rect);
// A point on no control, inside the window's outline: the pointer rests here.
constexpr POINT kRestPoint = {250, 14};

// A real click in the middle of a rectangle of hwnd; the pointer then rests off every control.
void ClickAndRest(HWND hwnd, const RECT& rect);
// Clicks channel c's open button and answers the "Open Wave ChN..." dialog with path.
bool OpenWithDialog(HWND hwnd, int c, const std::string& path);

constexpr uint32_t kEmptyStrip = 0x636394;
constexpr uint32_t kCyan = 0x00FFFF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kBlack = 0x000000;

// A bitmap resource of module as pixels (empty when it cannot be loaded).
testkit::Image LoadSkin(HMODULE module, int id);
// A Surface-like DC's pixels (the strip images).
testkit::Image CaptureSurface(HDC dc, int width, int height);

// How many pixels of the screenshot's rectangle differ from frame `frame` of a
// skin image holding `frames` frames (or from the same rectangle of the
// background when frames is 0).
int FrameDifference(const testkit::Image& shot, const RECT& rect, const testkit::Image& skin, int frame, int frames);
// Pixels of a name display: how many are lit (not black), and whether every one is a shade of green.
int LitTextPixels(const testkit::Image& shot, const RECT& rect, bool* allGreen);

// Counts the progress shown by this thread's progress bars while it lives.
class ProgressSteps {
 public:
  ProgressSteps();
  ~ProgressSteps();
  int Count() const;
};

// Counts the dialogs this thread tries to make while it lives and lets none of
// them be made: a dialog that must not come is caught when it is asked for,
// instead of being waited for.
class DialogGuard {
 public:
  DialogGuard();
  ~DialogGuard();
  int Count() const;
};

// Runs this thread's messages until done() is true or timeoutMs passed; done()'s last answer.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Copies a data file of this area into a scratch folder (no cache file beside it).
std::string FreshCopy(const std::string& name, const std::string& scratch);

// The text of a dialog's item.
std::string ItemText(HWND dialog, int item);

}  // namespace mwkit
