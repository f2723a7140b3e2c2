#include "tests/ui/plugin/MainWindowKit.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

#include "resources/window_layout.h"

namespace mwkit {

namespace {
// Channel 1's places, in the order of StripControl.
constexpr LayoutRect kPlaces[kStripControlCount] = {kStripOpen, kStripClose, kStripPlay, kStripPause,
                                                    kStripView, kStripName, kStripSync, kStripLoop,
                                                    kStripLed,  kStripProps};

volatile LONG g_steps = 0;
HHOOK g_hook = nullptr;

LRESULT CALLBACK WatchMessages(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const CWPSTRUCT* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // Steps while the dialog is up, or the position reached before it appeared.
    if (message->message == PBM_STEPIT || (message->message == PBM_SETPOS && message->wParam > 0))
      InterlockedIncrement(&g_steps);
  }
  return CallNextHookEx(g_hook, code, wParam, lParam);
}
volatile LONG g_dialogs = 0;
HHOOK g_dialogHook = nullptr;

LRESULT CALLBACK RefuseDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const char* cls = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
    bool dialog = IS_INTRESOURCE(cls) ? LOWORD(reinterpret_cast<ULONG_PTR>(cls)) == 0x8002 : lstrcmpA(cls, "#32770") == 0;
    if (dialog) {
      InterlockedIncrement(&g_dialogs);
      return 1;  // not made
    }
  }
  return CallNextHookEx(g_dialogHook, code, wParam, lParam);
}
}  // namespace

HostLog g_host;

void ClearHostLog() { g_host = HostLog(); }

int32_t RecordEvent(EventRecord* record) {
  g_host.events.push_back(*record);
  return record->code == g_host.refuse ? 0 : 1;
}

int32_t RecordInternal(InternalRecord* record, int32_t command) {
  g_host.commands.push_back(*record);
  g_host.commandCodes.push_back(command);
  return 0;
}

RECT ToRect(const LayoutRect& p) { return RECT{p.left, p.top, RightOf(p), BottomOf(p)}; }

RECT StripRect(StripControl control, int c) {
  return ToRect(control == kSync ? SyncOf(c) : InRow(kPlaces[control], c));
}

RECT ToggleRect() { return ToRect(kPreRecorderToggle); }

POINT Middle(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

void ClickAndRest(HWND hwnd, const RECT& rect) {
  POINT p = Middle(rect);
  testkit::ClickAt(hwnd, p.x, p.y);
  testkit::MoveMouseTo(hwnd, kRestPoint.x, kRestPoint.y);
  testkit::Settle();
}

bool OpenWithDialog(HWND hwnd, int c, const std::string& path) {
  std::string title = "Open Wave Ch" + std::to_string(c + 1) + "...";
  std::atomic<bool> answered(false);
  std::thread user([&] { answered = testkit::AnswerFileDialog(title.c_str(), path, 20000); });
  ClickAndRest(hwnd, StripRect(kOpen, c));
  PumpUntil([&] { return answered.load(); }, 20000);
  user.join();
  testkit::Settle();
  return answered;
}

testkit::Image LoadSkin(HMODULE module, int id) {
  testkit::Image image;
  HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
  if (!bitmap) return image;
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  image = testkit::CaptureDc(dc, 0, 0, info.bmWidth, info.bmHeight);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return image;
}

testkit::Image CaptureSurface(HDC dc, int width, int height) { return testkit::CaptureDc(dc, 0, 0, width, height); }

int FrameDifference(const testkit::Image& shot, const RECT& rect, const testkit::Image& skin, int frame, int frames) {
  if (shot.Empty() || skin.Empty()) return -1;
  const int height = rect.bottom - rect.top;
  int differ = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < rect.right - rect.left; ++x) {
      int sx = frames ? x : rect.left + x;
      int sy = frames ? frame * (skin.height / frames) + y : rect.top + y;
      if (shot.At(rect.left + x, rect.top + y) != skin.At(sx, sy)) ++differ;
    }
  }
  return differ;
}

int LitTextPixels(const testkit::Image& shot, const RECT& rect, bool* allGreen) {
  int lit = 0;
  *allGreen = true;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) {
      uint32_t p = shot.At(x, y);
      if (p == kBlack) continue;
      ++lit;
      if (p & 0xFF00FF) *allGreen = false;
    }
  }
  return lit;
}

ProgressSteps::ProgressSteps() {
  g_steps = 0;
  g_hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchMessages, nullptr, GetCurrentThreadId());
}

ProgressSteps::~ProgressSteps() {
  if (g_hook) UnhookWindowsHookEx(g_hook);
  g_hook = nullptr;
}

int ProgressSteps::Count() const { return g_steps; }

DialogGuard::DialogGuard() {
  g_dialogs = 0;
  g_dialogHook = SetWindowsHookExA(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId());
}

DialogGuard::~DialogGuard() {
  if (g_dialogHook) UnhookWindowsHookEx(g_dialogHook);
  g_dialogHook = nullptr;
}

int DialogGuard::Count() const { return g_dialogHook ? g_dialogs : -1; }

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return done();
    testkit::PumpMessages(10);
  }
  return true;
}

std::string FreshCopy(const std::string& name, const std::string& scratch) {
  std::string path = testkit::ScratchDir(scratch) + "\\" + name;
  CopyFileA(testkit::DataPath("mainwindow\\" + name).c_str(), path.c_str(), FALSE);
  return path;
}

std::string ItemText(HWND dialog, int item) {
  char text[512] = "";
  GetDlgItemTextA(dialog, item, text, sizeof text);
  return text;
}

}  // namespace mwkit
