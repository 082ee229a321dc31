#include "platform/classlib/sysutils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"

void Abort() { throw EAbort("Operation aborted"); }

namespace {

std::string Pad(std::string s, int width, bool left) {
    if (width > 0 && static_cast<int>(s.size()) < width) {
        std::string pad(static_cast<size_t>(width) - s.size(), ' ');
        s = left ? s + pad : pad + s;
    }
    return s;
}

std::string ArgToString(const FormatArg& a) {
    if (auto p = std::get_if<std::string>(&a)) return *p;
    if (auto p = std::get_if<std::int64_t>(&a)) return std::to_string(*p);
    if (auto p = std::get_if<std::uint64_t>(&a)) return std::to_string(*p);
    if (auto p = std::get_if<char>(&a)) return std::string(1, *p);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", std::get<double>(a));
    return buf;
}

bool ArgToInt(const FormatArg& a, std::int64_t& v) {
    if (auto p = std::get_if<std::int64_t>(&a)) return v = *p, true;
    if (auto p = std::get_if<std::uint64_t>(&a)) return v = static_cast<std::int64_t>(*p), true;
    if (auto p = std::get_if<char>(&a)) return v = static_cast<unsigned char>(*p), true;
    return false;
}

}  // namespace

std::string Format(const std::string& fmt, std::initializer_list<FormatArg> args) {
    std::string out;
    auto arg = args.begin();
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool left = false;
        if (j < fmt.size() && fmt[j] == '-') {
            left = true;
            ++j;
        }
        int width = 0, prec = -1;
        while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') width = width * 10 + (fmt[j++] - '0');
        if (j < fmt.size() && fmt[j] == '.') {
            prec = 0;
            ++j;
            while (j < fmt.size() && fmt[j] >= '0' && fmt[j] <= '9') prec = prec * 10 + (fmt[j++] - '0');
        }
        if (j >= fmt.size()) throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
        char conv = fmt[j];
        if (arg == args.end()) throw EConvertError("No argument for format '" + fmt + "'");
        std::string piece;
        std::int64_t v = 0;
        switch (conv) {
            case 's':
                piece = ArgToString(*arg);
                if (prec >= 0 && static_cast<int>(piece.size()) > prec) piece.resize(static_cast<size_t>(prec));
                break;
            case 'd':
            case 'u':
                if (!ArgToInt(*arg, v)) throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
                piece = conv == 'u' ? std::to_string(static_cast<std::uint32_t>(v)) : std::to_string(v);
                if (prec > 0) {
                    bool neg = !piece.empty() && piece[0] == '-';
                    std::string digits = neg ? piece.substr(1) : piece;
                    if (static_cast<int>(digits.size()) < prec) digits.insert(0, static_cast<size_t>(prec) - digits.size(), '0');
                    piece = (neg ? "-" : "") + digits;
                }
                break;
            case 'x':
            case 'X': {
                if (!ArgToInt(*arg, v)) throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
                char buf[32];
                std::snprintf(buf, sizeof buf, conv == 'x' ? "%llx" : "%llX",
                              static_cast<unsigned long long>(static_cast<std::uint32_t>(v)));
                piece = buf;
                if (prec > 0 && static_cast<int>(piece.size()) < prec) piece.insert(0, static_cast<size_t>(prec) - piece.size(), '0');
                break;
            }
            case 'c':
                if (!ArgToInt(*arg, v)) throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
                piece = std::string(1, static_cast<char>(v));
                break;
            default:
                throw EConvertError("Format '" + fmt + "' invalid or incompatible with argument");
        }
        ++arg;
        out += Pad(piece, width, left);
        i = j;
    }
    return out;
}

std::string IntToStr(std::int64_t v) { return std::to_string(v); }

std::string IntToHex(std::uint64_t v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
    return buf;
}

bool TryStrToInt(const std::string& s, int& out) {
    size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    int base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return false;
    std::uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    if (base == 10) {
        if (neg ? v > 0x80000000ull : v > 0x7FFFFFFFull) return false;
        out = neg ? static_cast<int>(-static_cast<std::int64_t>(v)) : static_cast<int>(v);
    } else {
        auto u = static_cast<std::uint32_t>(v);  // hex covers the whole 32-bit range
        out = static_cast<int>(neg ? 0u - u : u);
    }
    return true;
}

int StrToInt(const std::string& s) {
    int v;
    if (!TryStrToInt(s, v)) throw EConvertError(Format(sysconst::InvalidInteger, {s}));
    return v;
}

int StrToIntDef(const std::string& s, int def) {
    int v;
    return TryStrToInt(s, v) ? v : def;
}

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
    return s.substr(0, n);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string UpperCase(const std::string& s) {
    std::string r = s;
    for (auto& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string LowerCase(const std::string& s) {
    std::string r = s;
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

int CompareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return x - y;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int AnsiCompareText(const std::string& a, const std::string& b) { return cp1254::CompareFolded(a, b); }

bool SameText(const std::string& a, const std::string& b) { return cp1254::SameFolded(a, b); }

int AnsiCompareStr(const std::string& a, const std::string& b) {
    int r = a.compare(b);
    return r < 0 ? -1 : r > 0 ? 1 : 0;
}

std::string Copy(const std::string& s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || index > static_cast<int>(s.size())) return "";
    return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(count));
}

int Pos(const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    auto p = s.find(sub);
    return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

std::string ExtractFilePath(const std::string& f) {
    auto p = f.find_last_of("\\/:");
    return p == std::string::npos ? "" : f.substr(0, p + 1);
}

std::string ExtractFileName(const std::string& f) {
    auto p = f.find_last_of("\\/:");
    return p == std::string::npos ? f : f.substr(p + 1);
}

std::string ExtractFileExt(const std::string& f) {
    auto p = f.find_last_of(".\\/:");
    return p == std::string::npos || f[p] != '.' ? "" : f.substr(p);
}

std::string ChangeFileExt(const std::string& f, const std::string& ext) {
    auto p = f.find_last_of(".\\/:");
    if (p == std::string::npos || f[p] != '.') return f + ext;
    return f.substr(0, p) + ext;
}

bool FileExists(const std::string& f) {
    struct stat st;
    return ::stat(win::LocalPath(f).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

