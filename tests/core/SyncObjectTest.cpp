// What the wrappers add to the kernel objects: name bounds, suspended threads and
// the mapping of WaitForTwo's results. Failed creation and abandoned locks are
// checked with the channel locks (ContentionTest, PluginTest).
#include <gtest/gtest.h>

#include <string>

#include "core/SyncObject.h"

namespace {

DWORD WINAPI Nothing(void*) { return 7; }

TEST(SyncObject, OverlongNameIsKeptAsATerminatedPrefix) {
  std::string name(4000, 'n');
  MutexObject mutex(name.c_str());
  std::string kept = mutex.Name();
  EXPECT_FALSE(kept.empty());
  EXPECT_LT(kept.size(), name.size());
  EXPECT_EQ(name.compare(0, kept.size(), kept), 0);
}

// A thread object whose handle may not resume the thread: the platform's way of
// making ResumeThread fail. The full-access handle stays with the test.
class UnresumableThread : public ThreadObject {
 public:
  UnresumableThread() : ThreadObject(Nothing, nullptr) {
    full = handle_;
    DuplicateHandle(GetCurrentProcess(), full, GetCurrentProcess(), &handle_,
                    SYNCHRONIZE | THREAD_TERMINATE | THREAD_QUERY_INFORMATION, FALSE, 0);
  }
  ~UnresumableThread() override { CloseHandle(full); }
  HANDLE full = nullptr;
};

TEST(ThreadObject, StartsSuspendedRunsAfterStartAndEndsWhenItCannotBeResumed) {
  ThreadObject thread(Nothing, nullptr);
  ASSERT_TRUE(thread.Valid());
  EXPECT_NE(thread.ThreadId(), 0u);
  // The previous suspend count: 1 for a thread created suspended.
  EXPECT_EQ(SuspendThread(thread.Handle()), 1u);
  ResumeThread(thread.Handle());
  ASSERT_TRUE(thread.Start());
  EXPECT_TRUE(thread.Wait(10000));
  DWORD code = 0;
  GetExitCodeThread(thread.Handle(), &code);
  EXPECT_EQ(code, 7u);

#if defined(_WIN64)
  // A thread that cannot be resumed must not stay behind suspended: it is ended unrun.
  // (Checked on the 64-bit build only: Wine's WoW64 mode takes down the whole 32-bit
  // process, about one run in four, when a thread is ended before it first ran.)
  UnresumableThread stuck;
  ASSERT_NE(stuck.full, nullptr);
  EXPECT_FALSE(stuck.Start());
  ASSERT_EQ(WaitForSingleObject(stuck.full, 0), WAIT_OBJECT_0) << "the unresumable thread was left suspended";
  GetExitCodeThread(stuck.full, &code);
  EXPECT_EQ(code, 0u);  // ended, never ran
#endif
}

TEST(WaitForTwo, NamesTheObjectThatEndedTheWait) {
  EventObject a(true, false), b(true, false);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 0), -1);
  SetEvent(b.Handle());
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 0), 1);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), true, 0), -1);
  SetEvent(a.Handle());
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 0), 0);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), true, 0), 0);
  EXPECT_EQ(WaitForTwo(nullptr, b.Handle(), false, 0), -1);  // a failed wait
}

}  // namespace
