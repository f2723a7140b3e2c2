// A window or dialog object whose messages arrive through WindowProcedure (or
// DialogProcedure) and become calls of the virtual On... operations below.
// Skinned windows derive from UserInterface, template dialogs from Dialog.
#pragma once
#include <windows.h>

#include <cstdint>

#include "ui/framework/WindowedObject.h"

class List;
class Registry;

// A help id meaning "no help for this window".
constexpr uint32_t kNoHelp = 0xFFFFFFFF;
// Names of dropped files arrive in List records of this size: more than any path
// the system opens, so that a longer one arrives whole and its load can say why.
constexpr int kDroppedNameSize = 1024;

class Window : public WindowedObject {
 public:
  Window();
  ~Window() override = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The window's title when it exists (cut to size bytes), else the type name.
  int32_t GetTypeName(char* text, int size = kTypeNameSize) override;

  // WM_CREATE, inside CreateWindowExA: false makes the creation fail.
  virtual bool OnCreate() { return true; }
  // WM_INITDIALOG of a dialog, once its controls exist.
  virtual void OnInitDialog() {}
  // WM_CLOSE, and IDOK/IDCANCEL of a modal dialog: false keeps the window open.
  virtual bool CanClose() { return true; }
  // WM_DESTROY: returning 2 ends the thread's message loop (PostQuitMessage).
  virtual int OnDestroy() { return 1; }
  // WM_COMMAND with an id other than IDOK and IDCANCEL: true when handled.
  virtual bool OnCommand(WPARAM wParam, LPARAM lParam) { return false; }
  // WM_NOTIFY from a child or the tooltip window.
  virtual void OnNotify(WPARAM wParam, LPARAM lParam) {}
  // WM_PAINT, between BeginPaint and EndPaint.
  virtual void OnPaint(HDC dc, const PAINTSTRUCT& paint) {}
  // Mouse messages; point is the message's lParam (client x low, y high, signed words).
  virtual void OnLButtonDown(LPARAM point, WPARAM keys) {}
  virtual void OnLButtonUp(LPARAM point, WPARAM keys) {}
  virtual void OnLButtonDblClk(LPARAM point, WPARAM keys) {}
  virtual void OnMouseMove(LPARAM point, WPARAM keys) {}
  // WM_CAPTURECHANGED: the mouse capture went to another window (or to none).
  virtual void OnCaptureChanged(HWND newCapture) {}
  // WM_MOUSEWHEEL; the high words of wParam (delta) and lParam (screen y) zero-extended.
  virtual void OnMouseWheel(WPARAM wParam, WORD delta, LPARAM lParam, WORD screenY) {}
  // WM_KEYDOWN (isUp false) and WM_KEYUP (isUp true).
  virtual void OnKey(bool isUp, WPARAM key, LPARAM keyData) {}
  // WM_ACTIVATE with WA_INACTIVE only.
  virtual void OnDeactivate(WORD minimised, HWND other) {}
  // WM_CONTEXTMENU at a screen point: true when handled.
  virtual bool OnContextMenu(int screenX, int screenY) { return false; }
  // WM_TIMER: periodic work of the window's own thread.
  virtual void OnTimer(WPARAM id, LPARAM lParam) {}
  // WM_HELP (F1 or the "direct help" item): true when help was shown.
  virtual bool OnHelp(const HELPINFO* help);
  // WM_CTLCOLORSTATIC of a dialog's static control: a brush, or null for the default.
  virtual HBRUSH OnCtlColorStatic(HWND control, HDC dc) { return nullptr; }
  // Messages above WM_APP (0x8000 itself excluded), from other windows or threads.
  virtual LRESULT OnUserMessage(UINT message, LPARAM lParam, WPARAM wParam) { return 0; }
  // WM_COPYDATA: data another process sent; 0 when not taken.
  virtual LRESULT OnCopyData(WPARAM wParam, LPARAM lParam) { return 0; }
  // Files dropped at client (x, y); names holds 256-byte records. False: nobody took them.
  virtual bool OnDropFiles(int x, int y, List* names) { return false; }
  // After WM_CLOSE was handled, whether or not the window closed.
  virtual void OnClosed() {}

  HWND Handle() const { return hwnd_; }
  bool IsDialog() const { return isDialog_; }
  uint32_t HelpId() const { return helpId_; }
  void SetHelpId(uint32_t id) { helpId_ = id; }
  HWND ToolTipWindow() const { return toolTip_; }

  // Creates the tooltip window owned by this window; false (and no tooltips) on failure.
  bool CreateToolTipWindow();
  // Registers a rectangle of the client area with a fixed tooltip text.
  bool AddToolTip(const RECT& rect, UINT_PTR id, const char* text);
  // WM_DROPFILES: collects the names and the drop point for OnDropFiles, reports
  // error 46 when it returns false, and releases the drop handle. Returns 0.
  int HandleDroppedFiles(HDROP drop);

  // Moves the window to the point stored under key in the settings store's current
  // section; false (window left alone) when none was saved or it lies off screen.
  bool RestoreWindowPosition(Registry* settings, const char* key);
  // Stores the window's top-left under key in the current section (not yet saved to file).
  void SaveWindowPosition(Registry* settings, const char* key);
  // Centres the window over another one.
  void CenterOverWindow(HWND other);

 protected:
  friend class WindowRouter;

  bool isDialog_ = false;
  bool createFailed_ = false;  // WM_CREATE refused: its WM_DESTROY must not post a quit
  bool destroyed_ = false;     // OnDestroy ran for the current window
  HWND hwnd_ = nullptr;
  HWND toolTip_ = nullptr;
  uint32_t helpId_ = 0;
};

// Centres a window on the screen without activating it.
void CenterOnScreen(HWND hwnd);

// The window procedure of every class registered by the framework.
LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The dialog procedure of every Dialog; the same dispatch as WindowProcedure.
INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
