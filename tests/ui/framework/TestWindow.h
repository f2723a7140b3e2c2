// A skinned window for the tests: records what reaches its hooks and builds
// whatever controls the test hands it.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tests/common/TestKit.h"
#include "tests/ui/framework/SkinColours.h"
#include "ui/framework/Control.h"
#include "ui/framework/Surface.h"
#include "ui/framework/UserInterface.h"

class TestWindow : public UserInterface {
 public:
  struct Command {
    WPARAM wParam;
    LPARAM lParam;
  };

  // Builds the controls inside CreateControls; a non-zero result fails creation.
  std::function<int(TestWindow&)> build;
  bool allowClose = true;
  bool failBeforeCreate = false;
  int backgroundId = 0;   // a skin bitmap under the controls, or none

  std::vector<Command> commands;
  int closeAsked = 0;
  int closedCalls = 0;

  bool BeforeCreate() override { return !failBeforeCreate; }
  bool LoadBitmaps() override {
    if (!backgroundId) return true;
    background_ = new Surface(instance_, backgroundId);
    SetBackground(background_);
    return background_->Valid();
  }
  void FreeBitmaps() override {
    delete background_;
    background_ = nullptr;
  }
  int CreateControls() override { return build ? build(*this) : 0; }
  bool OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back({wParam, lParam});
    return true;
  }
  bool CanClose() override {
    ++closeAsked;
    return allowClose;
  }
  void OnClosed() override {
    ++closedCalls;
    UserInterface::OnClosed();
  }
  // The window lives on the test's thread: its loop must go on.
  int OnDestroy() override {
    UserInterface::OnDestroy();
    return 1;
  }

  // Typed access to a control of the table.
  template <class T>
  T* At(int index) const {
    return static_cast<T*>(GetControl(index));
  }

 private:
  Surface* background_ = nullptr;
};

// A description of a 200 x 150 tool window at (120, 100) of the screen.
inline WindowDescription TestDescription(const char* className = "SondrelTestWindow") {
  WindowDescription d;
  d.SetClassName(className);
  d.SetTitle("Framework test window");
  d.x = 120;
  d.y = 100;
  d.width = 200;
  d.height = 150;
  d.cursor = LoadCursorA(nullptr, IDC_ARROW);
  return d;
}

inline HINSTANCE TestModule() { return GetModuleHandleA(nullptr); }

// Creates a window on this thread and closes and unregisters it at the end of the test.
class WindowFixture : public ::testing::Test {
 protected:
  void TearDown() override {
    if (window.Handle()) {
      window.allowClose = true;
      SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    }
    window.UnregisterWindowClass();
    testkit::Settle();
  }
  int Open(const WindowDescription& description = TestDescription()) {
    int result = window.Create(true, description, TestModule(), SW_SHOW);
    testkit::Settle();
    return result;
  }
  HWND Hwnd() const { return window.Handle(); }

  TestWindow window;
};
