// Kernel services: clock, sleep, events, last error, and the module table behind LoadLibraryA.
#pragma once

#include "platform/win/wintypes.h"

DWORD GetTickCount();
void Sleep(DWORD ms);

DWORD GetLastError();
void SetLastError(DWORD code);

// Events.
constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD timeoutMs);
BOOL CloseHandle(HANDLE handle);

// Modules. Our stand-in libraries register themselves by name (win/modules.h); LoadLibraryA finds them
// there, ignoring case and any folder in the name, and counts the loads.
HMODULE LoadLibraryA(const char* fileName);
FARPROC GetProcAddress(HMODULE module, const char* procName);
BOOL FreeLibrary(HMODULE module);
