#include "ui/framework/Window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <new>

#include "core/ErrorCodes.h"
#include "core/List.h"

Window::Window() { classId_ = kWindow; }

int32_t Window::GetTypeName(char* text, int size) {
  if (!text || size <= 0) return classId_;
  // Never more than the caller's buffer: ReportError hands over 128 bytes.
  if (hwnd_) {
    text[0] = '\0';
    GetWindowTextA(hwnd_, text, size);
    return classId_;
  }
  return Object::GetTypeName(text, size);
}

// Help for a whole window or dialog (F1 over one of its child windows).
bool Window::OnHelp(const HELPINFO* help) {
  ErrorHandler* handler = GetErrorHandler();
  if (helpId_ == kNoHelp || !handler || !help) return false;
  if (help->iContextType != HELPINFO_WINDOW) return false;
  handler->ShowHelp(helpId_, static_cast<intptr_t>(help->dwContextId));
  return true;
}

bool Window::CreateToolTipWindow() {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  toolTip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr);
  return toolTip_ != nullptr;
}

bool Window::AddToolTip(const RECT& rect, UINT_PTR id, const char* text) {
  if (!toolTip_) return false;
  TOOLINFOA info = {};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.uFlags = TTF_SUBCLASS;
  info.hwnd = hwnd_;
  info.uId = id;
  info.rect = rect;
  info.hinst = instance_;
  info.lpszText = const_cast<char*>(text);
  return SendMessageA(toolTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

int Window::HandleDroppedFiles(HDROP drop) {
  char name[kDroppedNameSize];
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, name, sizeof name);
  std::unique_ptr<List> names(new (std::nothrow) List(count + 1, kDroppedNameSize, 1, false, ""));
  if (!names) {
    DragFinish(drop);
    ReportError(Error::OutOfMemory);
    return 0;
  }
  for (UINT i = 0; i < count; ++i) {
    // Zero-filled so the record copied into the list holds nothing beyond the name.
    char record[kDroppedNameSize] = {};
    DragQueryFileA(drop, i, record, sizeof record);
    names->Append(record);
  }
  POINT point = {0, 0};
  DragQueryPoint(drop, &point);
  // The names and the point are copied: the drop handle is no longer needed.
  DragFinish(drop);
  if (!OnDropFiles(point.x, point.y, names.get())) ReportError(Error::DropNotAccepted);
  return 0;
}
