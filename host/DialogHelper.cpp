#include "host/DialogHelper.h"

#include <vector>

#include "host/JsonLog.h"
#include "host/MessagePump.h"
#include "host/UserInput.h"

namespace hostkit {

namespace {
// How long a dialog may take to close after it was answered.
constexpr DWORD kCloseMs = 5000;
// How long the helper may take to finish once the interface thread is back:
// more than its own longest path (an answer, the wait for the dialog to close
// and three rounds of cancelling, about 11 s).
constexpr DWORD kFinishMs = 30000;

struct OwnedSearch {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK VisitOwned(HWND hwnd, LPARAM param) {
  OwnedSearch* search = reinterpret_cast<OwnedSearch*>(param);
  if (IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == search->owner) search->found.push_back(hwnd);
  return TRUE;
}

struct TextCollector {
  JsonObject* object;
};

BOOL CALLBACK VisitControl(HWND child, LPARAM param) {
  int id = GetDlgCtrlID(child);
  // Labels share the "no identifier" value; only controls with their own identifier are read.
  if (id <= 0 || id == 0xFFFF) return TRUE;
  char text[1024];
  int n = GetWindowTextA(child, text, sizeof text);
  reinterpret_cast<TextCollector*>(param)->object->Add(std::to_string(id).c_str(), std::string(text, n > 0 ? n : 0));
  return TRUE;
}
}  // namespace

void AddDialogTexts(HWND dialog, JsonObject* object) {
  TextCollector collector = {object};
  EnumChildWindows(dialog, VisitControl, reinterpret_cast<LPARAM>(&collector));
}

DialogHelper::DialogHelper(const std::string& title, Action action) : title_(title), action_(std::move(action)) {}

DialogHelper::~DialogHelper() {
  std::string ignored;
  if (thread_) Finish(&ignored);
}

bool DialogHelper::Start() {
  thread_ = CreateThread(nullptr, 0, &DialogHelper::Main, this, 0, nullptr);
  return thread_ != nullptr;
}

DialogHelper::Outcome DialogHelper::Finish(std::string* note) {
  if (thread_) {
    InterlockedExchange(&stop_, 1);
    bool ended = PumpUntilSignalled(thread_, kFinishMs);
    // A helper that never ends is left running detached rather than waited on forever.
    CloseHandle(thread_);
    thread_ = nullptr;
    if (!ended) {
      *note = "the helper for \"" + title_ + "\" did not finish";
      return kStuck;
    }
  }
  *note = note_;
  return outcome_;
}

DWORD WINAPI DialogHelper::Main(void* self) {
  static_cast<DialogHelper*>(self)->Run();
  return 0;
}

void DialogHelper::Run() {
  while (!stop_) {
    HWND dialog = FindVisibleDialog(title_.c_str());
    if (!dialog) {
      Sleep(10);
      continue;
    }
    bool acted = action_(dialog, &note_);
    if (!acted) {
      Cancel(dialog);
      outcome_ = kFailed;
    } else if (WaitGone(dialog, kCloseMs)) {
      outcome_ = kDone;
    } else {
      Cancel(dialog);
      outcome_ = kStuck;
      if (note_.empty()) note_ = "\"" + title_ + "\" stayed open after it was answered and was cancelled";
    }
    return;
  }
}

bool DialogHelper::WaitGone(HWND dialog, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

// Closes whatever the dialog has put over itself (a complaint box), then the dialog.
void DialogHelper::Cancel(HWND dialog) {
  for (int round = 0; round < 3 && IsWindow(dialog); ++round) {
    OwnedSearch search = {dialog, {}};
    EnumWindows(VisitOwned, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.found) PostMessageA(box, WM_COMMAND, IDOK, 0);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    if (WaitGone(dialog, 2000)) return;
  }
}

}  // namespace hostkit
