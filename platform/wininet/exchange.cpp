#include "platform/wininet/exchange.h"

#include <strings.h>

#include <cstring>
#include <mutex>

#include "platform/wininet/wininet.h"

namespace wininet {

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int StatusOf(const std::string& statusLine) {
    // "HTTP/1.1 200 OK": the number after the first blank.
    size_t sp = statusLine.find(' ');
    if (sp == std::string::npos) return 0;
    int code = 0;
    for (size_t i = sp + 1; i < statusLine.size() && i < sp + 4; ++i) {
        if (statusLine[i] < '0' || statusLine[i] > '9') return 0;
        code = code * 10 + (statusLine[i] - '0');
    }
    return code;
}

bool IsFollowedRedirect(int code) { return code == 301 || code == 302 || code == 303 || code == 307 || code == 308; }

bool HasLocation(const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        if (strncasecmp(l.c_str(), "location:", 9) == 0) return true;
    return false;
}

}  // namespace

Exchange::Exchange() { GlobalInit(); }

Exchange::~Exchange() { Reset(); }

void Exchange::Reset() {
    std::lock_guard lock(FWakeMutex);
    if (FMulti && FEasy) curl_multi_remove_handle(FMulti, FEasy);
    if (FEasy) curl_easy_cleanup(FEasy);
    if (FMulti) curl_multi_cleanup(FMulti);
    if (FHeaderList) curl_slist_free_all(FHeaderList);
    FEasy = nullptr;
    FMulti = nullptr;
    FHeaderList = nullptr;
    FHeaderDone = FDone = FPaused = false;
    FResult = CURLE_OK;
    FBuffer.clear();
    FBufferPos = 0;
    FBlockStatus.clear();
    FBlockLines.clear();
    FStatusLine.clear();
    FHeaderLines.clear();
    FErrorText[0] = 0;
}

void Exchange::Cancel() {
    FCancelled = true;
    std::lock_guard lock(FWakeMutex);
    if (FMulti) curl_multi_wakeup(FMulti);
}

size_t Exchange::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* x = static_cast<Exchange*>(self);
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.compare(0, 5, "HTTP/") == 0) {
        x->FBlockStatus = line;
        x->FBlockLines.clear();
    } else if (line.empty()) {
        int code = StatusOf(x->FBlockStatus);
        bool interim = code >= 100 && code < 200;
        bool redirected = IsFollowedRedirect(code) && HasLocation(x->FBlockLines);
        if (!interim && !redirected && !x->FHeaderDone) {
            x->FHeaderDone = true;
            x->FStatusLine = x->FBlockStatus;
            x->FHeaderLines = x->FBlockLines;
        }
    } else {
        x->FBlockLines.push_back(line);
    }
    return n;
}

size_t Exchange::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* x = static_cast<Exchange*>(self);
    size_t n = size * count;
    if (x->FBuffer.size() - x->FBufferPos >= kMaxBuffered) {
        x->FPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (x->FBufferPos > 0 && x->FBufferPos * 2 >= x->FBuffer.size()) {
        x->FBuffer.erase(0, x->FBufferPos);
        x->FBufferPos = 0;
    }
    x->FBuffer.append(data, n);
    if (!x->FHeaderDone) {  // body bytes come only after the final header
        x->FHeaderDone = true;
        x->FStatusLine = x->FBlockStatus;
        x->FHeaderLines = x->FBlockLines;
    }
    return n;
}

template <class Pred>
void Exchange::Drive(Pred done) {
    while (!done() && !FDone && !FCancelled) {
        int running = 0;
        if (curl_multi_perform(FMulti, &running) != CURLM_OK) {
            FDone = true;
            FResult = CURLE_FAILED_INIT;
            return;
        }
        int queued = 0;
        while (CURLMsg* m = curl_multi_info_read(FMulti, &queued)) {
            if (m->msg == CURLMSG_DONE) {
                FDone = true;
                FResult = m->data.result;
            }
        }
        if (done() || FDone || FCancelled) return;
        curl_multi_poll(FMulti, nullptr, 0, 1000, nullptr);
    }
}

DWORD Exchange::ErrorOfResult() const {
    switch (FResult) {
        case CURLE_OK: return 0;
        case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
        case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
        case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_GOT_NOTHING:
        case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        default: return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

DWORD Exchange::Send(const ExchangeSettings& s) {
    Reset();
    if (FCancelled) return ERROR_INTERNET_OPERATION_CANCELLED;
    {
        std::lock_guard lock(FWakeMutex);
        FEasy = curl_easy_init();
        FMulti = curl_multi_init();
    }
    if (!FEasy || !FMulti) return ERROR_INTERNET_INTERNAL_ERROR;
    CURL* e = FEasy;
    curl_easy_setopt(e, CURLOPT_URL, s.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, FErrorText);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, s.http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.connectTimeoutMs));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>((s.receiveTimeoutMs + 999) / 1000));
    if (!s.agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, s.agent.c_str());
    if (!s.userName.empty()) {
        curl_easy_setopt(e, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(e, CURLOPT_USERNAME, s.userName.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, s.password.c_str());
    }
    if (s.accessType == INTERNET_OPEN_TYPE_DIRECT) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");
    } else if (s.accessType == INTERNET_OPEN_TYPE_PROXY) {
        curl_easy_setopt(e, CURLOPT_PROXY, s.proxy.c_str());
        if (!s.proxyBypass.empty()) curl_easy_setopt(e, CURLOPT_NOPROXY, s.proxyBypass.c_str());
    }

    bool hasContentType = false;
    for (const auto& h : s.headers) {
        FHeaderList = curl_slist_append(FHeaderList, h.c_str());
        if (strncasecmp(h.c_str(), "content-type:", 13) == 0) hasContentType = true;
    }
    FHeaderList = curl_slist_append(FHeaderList, "Expect:");
    if (s.verb == "GET" && !s.hasBody) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else if (s.verb == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else {
        if (s.verb != "POST") curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, s.verb.c_str());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE, static_cast<long>(s.body.size()));
        curl_easy_setopt(e, CURLOPT_COPYPOSTFIELDS, s.body.c_str());
        if (!hasContentType) FHeaderList = curl_slist_append(FHeaderList, "Content-Type:");
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, FHeaderList);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Exchange::OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Exchange::OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(FMulti, e);

    Drive([this] { return FHeaderDone; });
    if (FCancelled) return ERROR_INTERNET_OPERATION_CANCELLED;
    if (!FHeaderDone) {
        if (FResult != CURLE_OK) return ErrorOfResult();
        FHeaderDone = true;  // ended cleanly without a header block of its own
        FStatusLine = FBlockStatus;
        FHeaderLines = FBlockLines;
    }
    if (FStatusLine.empty()) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    return 0;
}

DWORD Exchange::Read(char* out, DWORD n, DWORD* got) {
    *got = 0;
    if (FCancelled) return ERROR_INTERNET_OPERATION_CANCELLED;
    if (!FEasy || !FHeaderDone) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    if (FBuffer.size() == FBufferPos && !FDone) {
        if (FPaused) {
            FPaused = false;
            curl_easy_pause(FEasy, CURLPAUSE_CONT);
        }
        Drive([this] { return FBuffer.size() > FBufferPos; });
        if (FCancelled) return ERROR_INTERNET_OPERATION_CANCELLED;
    }
    size_t avail = FBuffer.size() - FBufferPos;
    if (avail > 0) {
        size_t take = avail < n ? avail : n;
        std::memcpy(out, FBuffer.data() + FBufferPos, take);
        FBufferPos += take;
        *got = static_cast<DWORD>(take);
        if (FPaused && FBuffer.size() - FBufferPos < kMaxBuffered) {
            FPaused = false;
            curl_easy_pause(FEasy, CURLPAUSE_CONT);
        }
        return 0;
    }
    return FDone ? ErrorOfResult() : ERROR_INTERNET_INTERNAL_ERROR;
}

}  // namespace wininet
