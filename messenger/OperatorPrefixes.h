// The operator prefixes the contact windows offer (any other typed prefix is taken as it is).
#pragma once

namespace messenger {

inline constexpr const char* OperatorPrefixes[] = {"532", "533", "535", "536", "542", "543", "546", "555"};

}  // namespace messenger
