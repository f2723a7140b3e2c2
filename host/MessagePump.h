// Dispatching the calling thread's window messages while it waits: the host's
// interface thread must keep the plug-in's windows alive whatever it waits for.
#pragma once
#include <windows.h>

namespace hostkit {

// Dispatches this thread's messages for ms milliseconds.
void PumpMessages(DWORD ms);

// Dispatches this thread's messages until handle is signalled (true) or
// timeoutMs has passed (false).
bool PumpUntilSignalled(HANDLE handle, DWORD timeoutMs);

}  // namespace hostkit
