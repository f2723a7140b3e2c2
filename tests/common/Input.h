// Driving windows as a user would: real mouse input at a window's client point,
// keys, finding and answering dialogs by title.
#pragma once
#include <windows.h>

#include <string>

namespace testkit {

// Runs this thread's messages until neither input nor posted messages wait (a
// modal loop the input starts runs inside), so that what the input caused is done.
void Settle();

// Real mouse input (SendInput) at a client point of hwnd; each call then settles
// this thread's messages, so a window on this thread has reacted.
void MoveMouseTo(HWND hwnd, int x, int y);
void PressAt(HWND hwnd, int x, int y);
void ReleaseAt(HWND hwnd, int x, int y);
void ClickAt(HWND hwnd, int x, int y);
void RightClickAt(HWND hwnd, int x, int y);
// Posts a key press and release to a window (for windows that may not have the focus).
void PostKey(HWND hwnd, WORD virtualKey);

// This process's visible dialog (class "#32770") with exactly this title, waiting
// up to timeoutMs while running this thread's messages; null when none came.
HWND FindDialog(const char* title, DWORD timeoutMs = 5000);
// Finds the common open or save dialog by title, enters path as the file name and
// confirms it. Call it on another thread than the one showing the dialog.
bool AnswerFileDialog(const char* title, const std::string& path, DWORD timeoutMs = 10000);
// Finds a dialog by title and cancels it (IDCANCEL).
bool CancelDialog(const char* title, DWORD timeoutMs = 10000);

}  // namespace testkit
