#include <gtest/gtest.h>

#include <string>

#include "core/SyncObject.h"

namespace {

DWORD Elapsed(DWORD start) { return GetTickCount() - start; }

// A thread that takes a mutex and ends without releasing it.
DWORD WINAPI TakeAndQuit(void* mutex) {
  WaitForSingleObject(static_cast<HANDLE>(mutex), INFINITE);
  return 0;
}

struct Holder {
  HANDLE mutex;
  HANDLE taken;
  HANDLE release;
};
// A thread that holds a mutex until told to release it.
DWORD WINAPI HoldUntilTold(void* param) {
  Holder* holder = static_cast<Holder*>(param);
  WaitForSingleObject(holder->mutex, INFINITE);
  SetEvent(holder->taken);
  WaitForSingleObject(holder->release, INFINITE);
  ReleaseMutex(holder->mutex);
  return 0;
}

DWORD WINAPI SetFlag(void* flag) {
  InterlockedExchange(static_cast<volatile LONG*>(flag), 1);
  return 0;
}

TEST(EventObjectTest, WaitsAreBounded) {
  EventObject event(true, false);
  ASSERT_TRUE(event.Valid());
  DWORD start = GetTickCount();
  EXPECT_FALSE(event.Wait(0));
  EXPECT_LT(Elapsed(start), 1000u);  // returns at once; generous for a loaded machine
  start = GetTickCount();
  EXPECT_FALSE(event.Wait(100));
  DWORD waited = Elapsed(start);
  EXPECT_GE(waited, 80u);
  EXPECT_LT(waited, 2000u);
}

TEST(EventObjectTest, ManualResetStaysSignalledAutoResetIsConsumed) {
  EventObject manual(true, true);
  EXPECT_TRUE(manual.Wait(0));
  EXPECT_TRUE(manual.Wait(0));
  ResetEvent(manual.Handle());
  EXPECT_FALSE(manual.Wait(0));

  EventObject automatic(false, false);
  SetEvent(automatic.Handle());
  EXPECT_TRUE(automatic.Wait(0));
  EXPECT_FALSE(automatic.Wait(0));
}

TEST(EventObjectTest, NameMakesOneObjectForEveryHolder) {
  EventObject first(true, false, "SondrelTestEvent");
  EventObject second(true, false, "SondrelTestEvent");
  EXPECT_STREQ(second.Name(), "SondrelTestEvent");
  SetEvent(first.Handle());
  EXPECT_TRUE(second.Wait(0));
}

TEST(SyncObjectTest, FailedCreationLeavesNoHandleAndWaitFails) {
  MutexObject mutex("SondrelTestClash");
  ASSERT_TRUE(mutex.Valid());
  // An event cannot take a name that a mutex already has.
  EventObject* event = new EventObject(true, true, "SondrelTestClash");
  EXPECT_FALSE(event->Valid());
  EXPECT_FALSE(event->Wait(0));
  delete event;  // closes nothing
  EXPECT_TRUE(mutex.Wait(0));
  ReleaseMutex(mutex.Handle());
}

TEST(SyncObjectTest, OverlongNameIsCutTo259Characters) {
  std::string name(400, 'n');
  MutexObject mutex(name.c_str());
  EXPECT_EQ(strlen(mutex.Name()), 259u);
}

TEST(MutexObjectTest, HeldByAnotherThreadTheWaitTimesOutThenSucceeds) {
  MutexObject mutex("SondrelTestHeld");
  EventObject taken(true, false), release(true, false);
  Holder holder = {mutex.Handle(), taken.Handle(), release.Handle()};
  HANDLE thread = CreateThread(nullptr, 0, HoldUntilTold, &holder, 0, nullptr);
  ASSERT_TRUE(taken.Wait(5000));
  DWORD start = GetTickCount();
  EXPECT_FALSE(mutex.Wait(50));
  EXPECT_GE(Elapsed(start), 35u);
  SetEvent(release.Handle());
  EXPECT_TRUE(mutex.Wait(5000));
  EXPECT_TRUE(ReleaseMutex(mutex.Handle()));
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
}

TEST(MutexObjectTest, AbandonedMutexIsTakenOver) {
  MutexObject mutex;
  HANDLE thread = CreateThread(nullptr, 0, TakeAndQuit, mutex.Handle(), 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_TRUE(mutex.Wait(1000));
  // The waiter owns it now.
  EXPECT_TRUE(ReleaseMutex(mutex.Handle()));
}

TEST(ThreadObjectTest, StartsSuspendedAndRunsAfterResume) {
  volatile LONG flag = 0;
  ThreadObject thread(SetFlag, (void*)&flag);
  ASSERT_TRUE(thread.Valid());
  EXPECT_NE(thread.ThreadId(), 0u);
  Sleep(50);
  EXPECT_EQ(flag, 0);
  EXPECT_FALSE(thread.Wait(0));
  ASSERT_TRUE(thread.Resume());
  EXPECT_TRUE(thread.Wait(INFINITE));
  EXPECT_EQ(flag, 1);
}

TEST(WaitForTwoTest, TimeOutIsMinusOne) {
  EventObject a(true, false), b(true, false);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 60), -1);
  EXPECT_GE(Elapsed(start), 45u);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), true, 0), -1);
}

TEST(WaitForTwoTest, NamesTheObjectThatEndedTheWait) {
  EventObject a(true, false), b(true, false);
  SetEvent(b.Handle());
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 0), 1);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), true, 0), -1);
  SetEvent(a.Handle());
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), false, 0), 0);
  EXPECT_EQ(WaitForTwo(a.Handle(), b.Handle(), true, 0), 0);
}

TEST(WaitForTwoTest, AbandonedMutexPassesThrough) {
  EventObject event(true, false);
  MutexObject mutex;
  HANDLE thread = CreateThread(nullptr, 0, TakeAndQuit, mutex.Handle(), 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  CloseHandle(thread);
  EXPECT_EQ(WaitForTwo(event.Handle(), mutex.Handle(), false, 1000), (int)(WAIT_ABANDONED_0 + 1));
  ReleaseMutex(mutex.Handle());
}

}  // namespace
