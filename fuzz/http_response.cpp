// Fuzzes the HTTP client's reading of answers: the receive buffer cutting bytes into lines, the
// status line, header fields, numbers, content ranges and the redirect targets of location
// values, fed in chunks the way the socket delivers them.
//
// The first byte chooses the chunk size and whether the client goes through a proxy; the rest is
// the answer.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "transport/HttpClient/Protocol.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t step = 1 + (static_cast<size_t>(data[0] & 0x3f) * 131) % http::TReceiveBuffer::Capacity;
    const bool viaProxy = (data[0] & 0x80) != 0;
    ++data;
    --size;
    http::TRequestPlan plan = http::PlanRequest("http://u:p@host:8080/dir/page.asp?q=1", viaProxy ? "proxy" : "", "3128");
    http::TTarget target = plan.Target;
    http::TReceiveBuffer buf;
    bool inBody = false;
    bool headerless = false;
    size_t lineBytes = 0;  // bytes taken as lines, line ends included
    size_t bodyBytes = 0;
    std::string unit;
    size_t off = 0;
    while (off < size) {
        const size_t n = std::min({step, size - off, static_cast<size_t>(buf.Free())});
        if (n == 0) break;  // a line longer than the buffer ends the request
        std::memcpy(buf.WritePointer(), data + off, n);
        buf.Commit(static_cast<int>(n));
        off += n;
        Check(buf.Count() <= http::TReceiveBuffer::Capacity);
        if (inBody && !headerless) {
            buf.TakeAll(unit);
            bodyBytes += unit.size();
            continue;
        }
        while (buf.Count() > 0) {
            const int before = buf.Count();
            if (!buf.TakeLine(unit)) break;
            const size_t taken = static_cast<size_t>(before - buf.Count());
            Check(unit.find('\n') == std::string::npos);
            Check(taken == unit.size() + 1 || taken == unit.size() + 2);
            lineBytes += taken;
            if (inBody) continue;  // header-less: lines of the body
            if (http::IsHeaderlessStart(unit)) {
                inBody = headerless = true;
                continue;
            }
            if (unit.empty()) {
                inBody = true;
                buf.TakeAll(unit);
                bodyBytes += unit.size();
                break;
            }
            http::TStatusLine status = http::ParseStatusLine(unit);
            if (status.IsStatus) {
                Check(!status.CodeValid || (status.Code >= -99 && status.Code <= 999));
                continue;
            }
            http::THeaderField f = http::ParseHeaderField(unit);
            if (!f.HasColon) continue;
            Check(f.Name.size() < unit.size() && f.Value.size() < unit.size());
            if (f.Name == "location") {
                http::ResolveLocation(f.Value, viaProxy, target);
                if (viaProxy) Check(target.HostName == "proxy" && target.Port == "3128");
                http::DocumentNameOf(target.Path);
                http::SplitUrlParts(target.Location);
            } else if (f.Name == "content-length") {
                int v;
                http::ParseDecimal(f.Value, v);
            } else if (f.Name == "content-range") {
                std::string first, last;
                http::SplitContentRange(f.Value, first, last);
                Check(first.size() + last.size() <= f.Value.size());
            }
        }
    }
    Check(lineBytes + bodyBytes + static_cast<size_t>(buf.Count()) == off);
    return 0;
}
