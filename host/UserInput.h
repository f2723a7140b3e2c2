// Acting on the plug-in's windows as a person does: real pointer and key input
// through the system's input queue, finding this process's windows and
// dialogs, and reading a window's pixels as they are on the screen.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hostkit {

// This process's top-level window of the class (and title, when given), visible
// or not; null when there is none.
HWND FindProcessWindow(const char* className, const char* title = nullptr);
// The same window when it is also shown; null with *error naming `what` (e.g. "main
// window") and how to show it when it is missing or hidden.
HWND FindShownWindow(const char* className, const char* title, const char* what, const char* showHint,
                     std::string* error);
// The middle point of a rectangle.
inline POINT Centre(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
// This process's visible dialog (class "#32770") with exactly this title; null when none.
HWND FindVisibleDialog(const char* title);

// Dispatches this thread's messages until neither input nor posted messages
// wait, for at least minMs and at most maxMs. A modal loop that the input starts
// (a dialog) runs inside this call, so it returns when the input is fully handled.
void PumpUntilQuiet(DWORD minMs, DWORD maxMs);

// Absolute pointer input (SendInput) at a screen point: a move, with button flags if any.
void SendPointer(DWORD flags, POINT screen);
// Enters path as the file name of a common open or save dialog and confirms it
// (call it on another thread than the dialog's); false when it has no name box.
bool EnterFileName(HWND dialog, const std::string& path);

// Real pointer movement to a client point of hwnd.
void MovePointer(HWND hwnd, POINT client);
// A real left click at a client point of hwnd, as a person makes it: the
// pointer moves there, the button goes down and up, the input is handled
// (including any modal loop it starts), and the pointer moves to `rest`.
// False with *error when hwnd is not visible or another window covers the point.
bool ClickAt(HWND hwnd, POINT point, POINT rest, std::string* error);
// The same with the right button (a context menu or dialog it opens runs inside).
bool RightClickAt(HWND hwnd, POINT point, POINT rest, std::string* error);
// A real Alt+F4 key press to hwnd, made the foreground window first.
bool PressAltF4(HWND hwnd, std::string* error);

// The window's pixels as a person sees them: its client area read from the
// window's device context into a 32-bit top-down DIB, as 0xAARRGGBB with alpha
// 255 inside the window's shape (its region, or all of it) and 0 outside.
bool CaptureWindowPixels(HWND hwnd, int* width, int* height, std::vector<uint32_t>* pixels);

}  // namespace hostkit
