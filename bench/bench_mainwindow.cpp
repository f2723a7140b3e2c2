// What it costs to make the main window when the host asks for it: the skin's ten
// bitmaps, the outline from the mask, the off-screen bitmap, tooltips and the 41
// controls, shown and painted once. The baseline is the least a window of that
// size with one bitmap costs: a class, a popup window, the background bitmap
// loaded and painted once. Both are destroyed outside the timing.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "bench/BenchKit.h"
#include "resources/resource_ids.h"
#include "ui/plugin/MainWindow.h"

namespace {

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

const char* const kPlainClass = "BenchPlainWindow";
HBITMAP g_plainBitmap = nullptr;

LRESULT CALLBACK PlainProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, g_plainBitmap);
    BitBlt(dc, 0, 0, 485, 272, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The baseline: a registered class, a shown popup window, one bitmap painted.
HWND CreatePlainWindow() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PlainProcedure;
  wc.hInstance = Module();
  wc.lpszClassName = kPlainClass;
  RegisterClassExA(&wc);
  g_plainBitmap = LoadBitmapA(Module(), MAKEINTRESOURCEA(IDB_MAIN_BACKGROUND));
  HWND hwnd = CreateWindowExA(WS_EX_APPWINDOW, kPlainClass, "Plain", WS_POPUP | WS_SYSMENU, 0, 0, 485, 272, nullptr,
                              nullptr, Module(), nullptr);
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  return hwnd;
}

void DestroyPlainWindow(HWND hwnd) {
  DestroyWindow(hwnd);
  UnregisterClassA(kPlainClass, Module());
  DeleteObject(g_plainBitmap);
  g_plainBitmap = nullptr;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

int main() {
  MainWindow window;
  if (!window.Valid()) {
    fprintf(stderr, "the main window object could not be made\n");
    return 1;
  }
  HCURSOR cursor = LoadCursorA(nullptr, IDC_ARROW);
  int failures = 0;
  auto createMain = [&] {
    if (window.CreateUserInterface(Module(), nullptr, cursor, SW_SHOW) != 0) ++failures;
  };
  auto destroyMain = [&] {
    window.DestroyUserInterface();
    Pump();
  };
  HWND plain = nullptr;

  // One of each first, so that neither pays for the first load of a system library.
  createMain();
  destroyMain();
  DestroyPlainWindow(CreatePlainWindow());
  Pump();

  // Interleaved rounds; each window is destroyed outside the timing.
  const int rounds = 31;
  std::vector<double> mainTimes, plainTimes;
  for (int i = 0; i < rounds; ++i) {
    mainTimes.push_back(benchkit::Time(createMain));
    destroyMain();
    plainTimes.push_back(benchkit::Time([&] { plain = CreatePlainWindow(); }));
    DestroyPlainWindow(plain);
    Pump();
  }
  if (failures) {
    fprintf(stderr, "the main window could not be created %d times\n", failures);
    return 1;
  }
  double mainMedian = benchkit::Median(mainTimes);
  double plainMedian = benchkit::Median(plainTimes);
  // value is the absolute figure: milliseconds to create and show the main window.
  benchkit::Report("mainwindow_create_vs_plain_window", mainMedian * 1000, "ms", plainMedian * 1000, "<=10",
                   " controls=41 rounds=31");
  return 0;
}
