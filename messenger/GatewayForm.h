// The form-urlencoded values of the gateway and suggestion bodies. Both encoders work on single-byte
// Windows-1254 text: the ten Turkish letters fold to ASCII, letters and digits pass, a space becomes
// "+", every other byte becomes "%XX" (upper-case hex). They never fail.
#pragma once

#include <string>

namespace messenger {

// A value of a gateway body.
std::string EncodeFormValue(const std::string& value);
// A value of the suggestion body: as EncodeFormValue, but an apostrophe is dropped.
std::string EncodeSuggestionValue(const std::string& value);

}  // namespace messenger
