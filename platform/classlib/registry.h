// TRegistry and TRegIniFile: the class library's access to the registry (platform/registry).
//
// Key paths use backslashes ("Software\\Marendo\\Tolvar"); a path with a leading backslash is taken
// from the root key, any other from the current key. Failures raise ERegistryException with the
// class library's texts:
//   "Failed to set data for '%s'"   a value that cannot be written
//   "Failed to get data for '%s'"   a value that cannot be read
//   "Invalid data type for '%s'"    a value of another type than the call reads (or missing, for
//                                   the integer and boolean reads)
#pragma once

#include <cstdint>
#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/sysutils.h"
#include "platform/registry/registry.h"

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = TRegDataType::rdUnknown;
    int DataSize = 0;
};

class TRegistry : public TObject {
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    ~TRegistry() override;
    const char* ClassName() const override { return "TRegistry"; }

    HKEY RootKey() const { return FRootKey; }
    void SetRootKey(HKEY root);       // closes the current key
    HKEY CurrentKey() const { return FCurrentKey; }  // null when none is open
    const std::string& CurrentPath() const { return FCurrentPath; }
    REGSAM Access = KEY_ALL_ACCESS;

    // Opens (and with canCreate creates) a key; the previous key is closed. False when it fails.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool CreateKey(const std::string& key);
    bool DeleteKey(const std::string& key);   // with all its subkeys
    bool KeyExists(const std::string& key);
    bool HasSubKeys();
    void GetKeyNames(TStrings* strings);      // cleared first
    void GetValueNames(TStrings* strings);    // cleared first

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    TRegDataType GetDataType(const std::string& name);  // rdUnknown when missing
    int GetDataSize(const std::string& name);            // -1 when missing
    bool GetDataInfo(const std::string& name, TRegDataInfo& info);

    // A missing string value reads as "".
    std::string ReadString(const std::string& name);
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    int ReadInteger(const std::string& name);
    void WriteInteger(const std::string& name, int value);
    bool ReadBool(const std::string& name);
    void WriteBool(const std::string& name, bool value);
    // Returns the bytes copied; raises when the buffer is too small or the value is not binary.
    int ReadBinaryData(const std::string& name, void* buffer, int bufSize);
    void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

protected:
    HKEY GetBaseKey(bool relative) const;
    HKEY GetKey(const std::string& key);   // opens a key for reading; null when missing
    void ChangeKey(HKEY value, const std::string& path);

    // Reads a value into buffer; a missing value gives rdUnknown and 0 bytes, any other failure
    // (a buffer too small among them) raises "Failed to get data for '%s'".
    int GetData(const std::string& name, void* buffer, DWORD bufSize, TRegDataType& regData);
    void PutData(const std::string& name, const void* buffer, DWORD bufSize, TRegDataType regData);

    HKEY FRootKey = HKEY_CURRENT_USER;
    HKEY FCurrentKey = nullptr;
    std::string FCurrentPath;
};

// An ini-file view of a registry key: sections are subkeys of the key opened at construction.
class TRegIniFile : public TRegistry {
public:
    explicit TRegIniFile(const std::string& fileName);
    TRegIniFile(const std::string& fileName, REGSAM access);
    const char* ClassName() const override { return "TRegIniFile"; }

    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    int ReadInteger(const std::string& section, const std::string& ident, int def);
    void WriteInteger(const std::string& section, const std::string& ident, int value);
    bool ReadBool(const std::string& section, const std::string& ident, bool def);
    void WriteBool(const std::string& section, const std::string& ident, bool value);
    void ReadSection(const std::string& section, TStrings* strings);   // the value names
    void ReadSections(TStrings* strings);                              // the subkey names
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);

protected:
    // For descendants that open their key themselves (no key is opened here).
    TRegIniFile() = default;

    std::string FFileName;
};
