// The generator and the four gateway bodies.
#include "messenger/GatewayForm.h"

#include "platform/classlib/sysutils.h"

namespace messenger {

std::uint32_t RandSeed = 0;

std::uint32_t Random(std::uint32_t range) {
    RandSeed = RandSeed * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(RandSeed) * range) >> 32);
}

std::string DrawDottedAddress(std::uint32_t below, std::uint32_t plus) {
    std::string out;
    for (int i = 0; i < 4; ++i) {
        if (i) out += '.';
        out += std::to_string(Random(below) + plus);
    }
    return out;
}

namespace {

std::string Message(const std::string& number, const std::string& text, const std::string& signature,
                    const std::string& address) {
    return "telno=" + EncodeExactValue(number) + "&mesaj=" + EncodeFormValue(text + "-" + signature) +
           "&ip=" + EncodeFormValue(address);
}

}  // namespace

std::string NormalBody(const std::string& number, const std::string& text, const std::string& signature,
                       const std::string& address) {
    return Message(number, text, signature, address);
}

std::string Normal2Body(int smsid, const std::string& number, const std::string& text,
                        const std::string& signature, const std::string& address) {
    return "smsid=" + std::to_string(smsid) + "&" + Message(number, text, signature, address);
}

std::string SuperOnlineBody(const std::string& address, const std::string& prefix, const std::string& ownNumber,
                            const std::string& password, const std::string& number, const std::string& text,
                            const std::string& signature) {
    const long remaining = 144L - static_cast<long>(text.size()) - static_cast<long>(signature.size());
    return "IP=" + address + "&gsmss=" + EncodeExactValue(prefix) + "&gsmnmr=" + EncodeExactValue(ownNumber) +
           "&password=" + EncodeExactValue(password) + "&gsmssto=" + EncodeExactValue(Copy(number, 3, 3)) +
           "&gsmnmrto=" + EncodeExactValue(Copy(number, 6, 0x7fffffff)) + "&mesaj=" + EncodeFormValue(text) +
           "&kalan=" + std::to_string(remaining);
}

}  // namespace messenger
