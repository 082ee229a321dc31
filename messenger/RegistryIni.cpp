#include "messenger/RegistryIni.h"

TRegistryIniFile::TRegistryIniFile(const std::string& Key, HKEY Root, REGSAM access) {
    Access = access;
    SetRootKey(Root);
    FFileName = Key;
    if (access == KEY_READ)
        OpenKeyReadOnly(Key);
    else
        OpenKey(Key, true);
}
