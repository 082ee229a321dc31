// The two value encoders of the gateway bodies.
#include "messenger/GatewayForm.h"

namespace messenger {
namespace {

// The Turkish letters of Windows-1254 and the ASCII letter each folds to; 0 for every other byte.
constexpr char TurkishFold(unsigned char b) {
    switch (b) {
        case 199: return 'C';
        case 208: return 'G';
        case 220: return 'U';
        case 221: return 'I';
        case 222: return 'S';
        case 231: return 'c';
        case 240: return 'g';
        case 252: return 'u';
        case 253: return 'i';
        case 254: return 's';
        default: return 0;
    }
}

std::string Encode(const std::string& value, bool fold, bool dropApostrophe) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size() * 3);
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b == ' ') {
            out += '+';
        } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += c;
        } else if (char folded = fold ? TurkishFold(b) : 0) {
            out += folded;
        } else if (b == '\'' && dropApostrophe) {
            // dropped
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

}  // namespace

std::string EncodeFormValue(const std::string& value) { return Encode(value, true, false); }
std::string EncodeSuggestionValue(const std::string& value) { return Encode(value, true, true); }
std::string EncodeExactValue(const std::string& value) { return Encode(value, false, false); }

}  // namespace messenger
