// The shell's "open this document or address" call.
//
// There is no desktop shell under us, so ShellExecuteA hands every request to a hook: a desktop
// backend can start a browser, the console driver prints the request, and tests read it back. Every
// request is also recorded (the last ones are kept) whether a hook is installed or not.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

struct ShellRequest {
    HWND hwnd = nullptr;
    std::string verb;        // "open", "print", ... (empty: the default verb)
    std::string file;        // document, program or address
    std::string parameters;
    std::string directory;
    int show = 0;            // SW_ value
};

// Returns a value above 32 on success, as the shell does. With a hook installed, its result is
// returned; without one the request is only recorded and reported as done.
HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile,
                        const char* lpParameters, const char* lpDirectory, int nShowCmd);

namespace shell {

// The hook returns the shell's result code (above 32 for success, e.g. 2 for a file not found).
using ExecuteHook = std::function<int(const ShellRequest&)>;
// Installs a hook (an empty one removes it); returns the previous one.
ExecuteHook SetExecuteHook(ExecuteHook hook);

// The requests made so far (the newest last; at most 64 are kept), and a way to forget them.
std::vector<ShellRequest> RecordedRequests();
void ClearRecordedRequests();

}  // namespace shell
