// The clipboard of the process: formats registered by name and data placed under a format, in
// memory and headless (nothing leaves the process). The calls are those of Win32: open, empty, set
// and get data, ask for a format, register a named format.
//
// Ownership: data placed by SetClipboardData belongs to the clipboard from then on. CF_BITMAP and
// CF_PALETTE hold GDI objects (freed by DeleteObject), every other format a global memory block
// (freed by GlobalFree); the clipboard frees them when it is emptied, when a format is placed again
// and at ClipboardShutdown. Safe from any thread; one thread has it open at a time.
#pragma once

#include "platform/gdi/wingdi.h"
#include "platform/win/wintypes.h"

constexpr UINT CF_TEXT = 1, CF_BITMAP = 2, CF_PALETTE = 9;

// FALSE while another thread has the clipboard open.
BOOL OpenClipboard(HWND owner);
// FALSE when the calling thread does not have it open.
BOOL CloseClipboard();
// Frees every format's data; the opener becomes the owner. FALSE when not open.
BOOL EmptyClipboard();
// Places data under format (replacing and freeing what was there). nullptr when the clipboard is not
// open, data is nullptr or the format is 0.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The data of a format (still owned by the clipboard), or nullptr when absent or not open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
// Formats registered by name (case-insensitive) count from 0xC000; the same name gives the same
// number. 0 for an empty or missing name.
UINT RegisterClipboardFormatA(const char* name);
// The name of a registered format into buffer; the length copied, 0 for an unknown one.
int GetClipboardFormatNameA(UINT format, char* buffer, int maxCount);
HWND GetClipboardOwner();
// Frees all data (the end of the process).
void ClipboardShutdown();
