// One HTTP exchange of a request handle over a libcurl easy handle driven by a multi handle of its
// own, so that the caller's thread pulls the answer step by step: first the header, then the body
// in the caller's block sizes. At most kMaxBuffered bytes of body wait in memory; beyond that the
// transfer pauses until the caller reads.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

namespace wininet {

struct ExchangeSettings {
    std::string url;                   // "http://host[:port]/object"
    std::string verb = "GET";
    bool http10 = false;
    std::string agent;                 // empty: no User-Agent
    std::string userName, password;    // empty user: no authorisation
    std::vector<std::string> headers;  // whole header lines, in order
    std::string body;
    bool hasBody = false;
    DWORD accessType = 0;
    std::string proxy, proxyBypass;
    DWORD connectTimeoutMs = 60000;
    DWORD receiveTimeoutMs = 60000;
};

class Exchange {
public:
    static constexpr size_t kMaxBuffered = 64 * 1024;
    static constexpr long kMaxRedirects = 5;

    Exchange();
    ~Exchange();
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    // Starts the transfer and runs it until the final answer's header is in. 0 or a WinInet error.
    DWORD Send(const ExchangeSettings& s);
    // Copies up to n body bytes; *got 0 at the end. 0 or a WinInet error.
    DWORD Read(char* out, DWORD n, DWORD* got);
    // The final answer's status line and header lines (without line ends).
    const std::string& StatusLine() const { return FStatusLine; }
    const std::vector<std::string>& HeaderLines() const { return FHeaderLines; }
    // Ends a blocked Send or Read from any thread: they return ERROR_INTERNET_OPERATION_CANCELLED.
    void Cancel();

private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    // Runs the transfer until done() holds, the transfer ends or Cancel was called.
    template <class Pred> void Drive(Pred done);
    DWORD ErrorOfResult() const;
    void Reset();

    CURL* FEasy = nullptr;
    CURLM* FMulti = nullptr;
    curl_slist* FHeaderList = nullptr;
    std::mutex FWakeMutex;  // guards FMulti against a concurrent Cancel
    std::atomic<bool> FCancelled{false};
    bool FHeaderDone = false;
    bool FDone = false;
    bool FPaused = false;
    CURLcode FResult = CURLE_OK;
    std::string FBuffer;  // body bytes received and not yet read
    size_t FBufferPos = 0;
    // The header block being received; FHeaderDone when a final one ended.
    std::string FBlockStatus;
    std::vector<std::string> FBlockLines;
    std::string FStatusLine;
    std::vector<std::string> FHeaderLines;
    char FErrorText[CURL_ERROR_SIZE] = {};
};

}  // namespace wininet
