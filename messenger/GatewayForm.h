// The gateway requests: the program's one pseudo-random generator, the form-urlencoded bodies of
// the four gateway services, their endpoints, the value encoders and the senders that post them
// through the send window's HTTP client.
//
// The encoders work on single-byte Windows-1254 text: letters and digits pass, a space becomes
// "+", every other byte becomes "%XX" (upper-case hex); the text encoders first fold the ten
// Turkish letters to ASCII. They never fail. Message texts and the send window's address go
// through EncodeFormValue; numbers and the SuperOnline login's prefix, number and password through
// EncodeExactValue, so the gateway decodes them to the very bytes typed (byte 0xFE is "%FE"). Only the
// dotted address the SuperOnline sender draws goes as it is; an "&" or a space in any value never
// breaks the form.
#pragma once

#include <cstdint>
#include <string>

namespace messenger {

// A value of a gateway body.
std::string EncodeFormValue(const std::string& value);
// A value of the suggestion body: as EncodeFormValue, but an apostrophe is dropped.
std::string EncodeSuggestionValue(const std::string& value);
// A number or a credential: as EncodeFormValue without the fold, so every byte comes back as typed.
std::string EncodeExactValue(const std::string& value);

// The program's one generator: state := state x 134775813 + 1 (mod 2^32), starting at 0 and never
// seeded, so every run draws the same sequence. RandSeed is its state.
extern std::uint32_t RandSeed;
// Advances the state and returns a draw below `range`: the high 32 bits of state x range.
std::uint32_t Random(std::uint32_t range);
// Four draws below `below`, each plus `plus`, joined by "." in draw order.
std::string DrawDottedAddress(std::uint32_t below, std::uint32_t plus);

// The endpoints' paths (on the maker's host, and on the SuperOnline WAP host).
inline constexpr const char* NormalPath = "/marendo/tolvar1.asp";
inline constexpr const char* Normal2Path = "/marendo/tolvar2.asp";
inline constexpr const char* SuperOnlinePath = "/sms/sms_send/1,1206,0,00.html";

// The bodies. number is the recipient's stored number, text the message, signature the settings'
// signature, address the send window's dotted address.
std::string NormalBody(const std::string& number, const std::string& text, const std::string& signature,
                       const std::string& address);
// smsid 1 is the second service, 2 the flash service; both go to Normal2Path.
std::string Normal2Body(int smsid, const std::string& number, const std::string& text,
                        const std::string& signature, const std::string& address);
// address is the one the sender drew; prefix, ownNumber and password are the login window's. The
// remaining count sent is 144 minus the lengths of text and signature (the signature is not sent).
std::string SuperOnlineBody(const std::string& address, const std::string& prefix, const std::string& ownNumber,
                            const std::string& password, const std::string& number, const std::string& text,
                            const std::string& signature);

// The gateway's success word.
inline constexpr const char* SuccessAnswer = "YOLLANDI";
// The most bytes of a gateway's answer body the senders read: a real answer is the success word
// or a short page, and a longer one is never a success.
inline constexpr int MaxAnswerSize = 64 * 1024;

// The senders of the send window's four services. Each builds its body from the windows' fields,
// sets the send window's client (URL, proxy from the settings window), empties the main window's
// answer field, shows the wait window and posts. After a post that returned, the answer field gets
// the whole body of the answer (it stays empty when the answer had none), the wait window closes
// and the result is shown; the sender returns whether the message counts as sent (the gateway's
// answer was judged a success; a SuperOnline post that returned always counts). An answer body
// longer than MaxAnswerSize is not read past it: the post ends there, the answer field stays
// empty, "Mesajınız Yollanamadı" is shown and the send does not count, for every service. After
// any other post that raised (no answer, a reset, a cut or refused answer, an error status), the
// wait window closes, nothing more is shown and the exception goes on to the caller.
bool SendViaNormal();
bool SendViaNormal2();
bool SendViaFlash();
bool SendViaSuperOnline();
// True when body is SuccessAnswer, followed by nothing but CR, LF, spaces and tabs.
bool IsSuccessAnswer(const std::string& body);
// Judges the main window's answer field by IsSuccessAnswer: shows "Mesajınız Başarıyla
// Gönderildi" and returns true, or shows "Mesajınız Yollanamadı" and returns false.
bool ReportGatewayAnswer();

}  // namespace messenger
