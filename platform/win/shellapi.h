// The shell's "open this document or address" call.
//
// There is no desktop shell under us: ShellExecuteA records every request (the last ones are kept)
// and reports it as done; tests read the requests back.
#pragma once

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

// Records the request and returns a value above 32 (success), as the shell does.
HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile,
                        const char* lpParameters, const char* lpDirectory, int nShowCmd);

namespace shell {

// The requests made so far (the newest last; at most 64 are kept), and a way to forget them.
std::vector<ShellRequest> RecordedRequests();
void ClearRecordedRequests();

}  // namespace shell
