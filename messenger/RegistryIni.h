// TRegistryIniFile: an ini-file view of one registry key under a chosen root.
#pragma once

#include <string>

#include "platform/classlib/registry.h"

class TRegistryIniFile : public TRegIniFile {
public:
    // Opens Key under Root, creating it when missing. With KEY_READ access the key is opened
    // read-only and never created: a missing key reads as the defaults.
    TRegistryIniFile(const std::string& Key, HKEY Root, REGSAM access = KEY_ALL_ACCESS);
    const char* ClassName() const override { return "TRegistryIniFile"; }
};
