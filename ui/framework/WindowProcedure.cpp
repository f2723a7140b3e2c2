// The one message dispatch shared by skinned windows and dialogs: finds the
// object stored in the window's user data and calls its On... operations.
#include <windowsx.h>

#include "ui/framework/Window.h"

class WindowRouter {
 public:
  static LRESULT Route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool dialogProc);

 private:
  static void Attach(HWND hwnd, Window* window) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    window->hwnd_ = hwnd;
    window->destroyed_ = false;
  }
  static LRESULT Default(Window* window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool dialogProc);
  static LRESULT Close(Window* window, HWND hwnd);
  static LRESULT Command(Window* window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT Result(Window* window, HWND hwnd, LRESULT result);
};

// A value for the sender: a dialog procedure hands it over through DWLP_MSGRESULT.
LRESULT WindowRouter::Result(Window* window, HWND hwnd, LRESULT result) {
  if (!window->isDialog_) return result;
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

// What a message nobody handled gets: nothing in a dialog, the default elsewhere.
LRESULT WindowRouter::Default(Window* window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                              bool dialogProc) {
  bool dialog = window ? window->isDialog_ : dialogProc;
  if (dialog) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// WM_CLOSE: a window closes when CanClose agrees and always hears OnClosed; a
// dialog that may not close hears nothing.
LRESULT WindowRouter::Close(Window* window, HWND hwnd) {
  if (!window->isDialog_) {
    if (window->CanClose()) DestroyWindow(hwnd);
    window->OnClosed();
    return 0;
  }
  if (!window->CanClose()) return 0;
  EndDialog(hwnd, IDCANCEL);
  window->OnClosed();
  return 1;
}

// WM_COMMAND: IDOK and IDCANCEL close the window; other ids go to OnCommand.
LRESULT WindowRouter::Command(Window* window, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WORD id = LOWORD(wParam);
  if (id == IDOK || id == IDCANCEL) {
    if (window->isDialog_) {
      if (!window->CanClose()) return 0;
      EndDialog(hwnd, id);
      return 1;
    }
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    return 1;
  }
  bool handled = window->OnCommand(wParam, lParam);
  if (window->isDialog_) return handled ? 1 : 0;
  return handled ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT WindowRouter::Route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool dialogProc) {
  Window* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message == WM_CREATE && !window) {
    window = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    if (!window) return DefWindowProcA(hwnd, message, wParam, lParam);
    Attach(hwnd, window);
    window->createFailed_ = !window->OnCreate();
    return window->createFailed_ ? -1 : 0;
  }
  if (message == WM_INITDIALOG && !window) {
    window = reinterpret_cast<Window*>(lParam);
    if (!window) return 1;
    Attach(hwnd, window);
    window->OnInitDialog();
    return 1;
  }
  if (!window) return dialogProc ? 0 : DefWindowProcA(hwnd, message, wParam, lParam);

  switch (message) {
    case WM_DESTROY:
      window->destroyed_ = true;
      if (window->OnDestroy() == 2 && !window->createFailed_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      // Some platforms skip WM_DESTROY for a window whose WM_CREATE refused it;
      // what OnCreate built up to then must still be released, exactly once.
      if (!window->destroyed_) {
        window->destroyed_ = true;
        window->OnDestroy();
      }
      // Owned windows normally go first, but not when WM_CREATE refused the window.
      if (window->toolTip_ && IsWindow(window->toolTip_)) DestroyWindow(window->toolTip_);
      // The object outlives its window: forget the handle so nothing reaches a dead window.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      window->hwnd_ = nullptr;
      window->toolTip_ = nullptr;
      return Default(window, hwnd, message, wParam, lParam, dialogProc);
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) window->OnDeactivate(HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      if (dc) window->OnPaint(dc, paint);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_CLOSE:
      return Close(window, hwnd);
    case WM_COPYDATA:
      return Result(window, hwnd, window->OnCopyData(wParam, lParam));
    case WM_NOTIFY:
      window->OnNotify(wParam, lParam);
      return 0;
    case WM_HELP:
      return Result(window, hwnd, window->OnHelp(reinterpret_cast<const HELPINFO*>(lParam)) ? 1 : 0);
    case WM_CONTEXTMENU:
      // Signed coordinates: screens left of or above the primary one are negative.
      if (window->OnContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return 0;
      return Default(window, hwnd, message, wParam, lParam, dialogProc);
    case WM_KEYDOWN:
      window->OnKey(false, wParam, lParam);
      return 0;
    case WM_KEYUP:
      window->OnKey(true, wParam, lParam);
      return 0;
    case WM_COMMAND:
      return Command(window, hwnd, message, wParam, lParam);
    case WM_TIMER:
      window->OnTimer(wParam, lParam);
      return 0;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          window->OnCtlColorStatic(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_MOUSEMOVE:
      window->OnMouseMove(lParam, wParam);
      return 0;
    case WM_CAPTURECHANGED:
      window->OnCaptureChanged(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_LBUTTONDOWN:
      window->OnLButtonDown(lParam, wParam);
      return 0;
    case WM_LBUTTONUP:
      window->OnLButtonUp(lParam, wParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      window->OnLButtonDblClk(lParam, wParam);
      return 0;
    case WM_MOUSEWHEEL:
      window->OnMouseWheel(wParam, HIWORD(wParam), lParam, HIWORD(lParam));
      return 0;
    case WM_DROPFILES:
      return window->HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
    default:
      if (message > WM_APP) return Result(window, hwnd, window->OnUserMessage(message, lParam, wParam));
      return Default(window, hwnd, message, wParam, lParam, dialogProc);
  }
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowRouter::Route(hwnd, message, wParam, lParam, false);
}

INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return WindowRouter::Route(hwnd, message, wParam, lParam, true);
}
