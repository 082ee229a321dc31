// Ini files: TCustomIniFile and TIniFile over the profile functions. Every write reaches the disk at
// once (unless a profile::FileUpdate holds the file); a write that fails raises EIniFileException
// "Unable to write to <file>".
#pragma once

#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/sysutils.h"

class TCustomIniFile : public TObject {
public:
    explicit TCustomIniFile(const std::string& fileName) : FFileName(fileName) {}
    const char* ClassName() const override { return "TCustomIniFile"; }

    const std::string& FileName() const { return FFileName; }

    virtual std::string ReadString(const std::string& section, const std::string& ident,
                                   const std::string& def) = 0;
    virtual void WriteString(const std::string& section, const std::string& ident,
                             const std::string& value) = 0;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else ('$' too) gives the default.
    virtual int ReadInteger(const std::string& section, const std::string& ident, int def);
    virtual void WriteInteger(const std::string& section, const std::string& ident, int value);
    // Stored as "0"/"1"; any other number is true, a non-number gives the default.
    virtual bool ReadBool(const std::string& section, const std::string& ident, bool def);
    virtual void WriteBool(const std::string& section, const std::string& ident, bool value);
    // The key names of a section, in file order (cleared first).
    virtual void ReadSection(const std::string& section, TStrings* strings) = 0;
    // The section names, in file order (cleared first).
    virtual void ReadSections(TStrings* strings) = 0;
    // "key=value" lines of a section (cleared first).
    virtual void ReadSectionValues(const std::string& section, TStrings* strings) = 0;
    virtual void EraseSection(const std::string& section) = 0;
    virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
    virtual void UpdateFile() = 0;
    bool SectionExists(const std::string& section);
    virtual bool ValueExists(const std::string& section, const std::string& ident);

protected:
    std::string FFileName;
};

// A bare file name (no folder) lives in the Windows folder; other names are program paths.
class TIniFile : public TCustomIniFile {
public:
    explicit TIniFile(const std::string& fileName) : TCustomIniFile(fileName) {}
    const char* ClassName() const override { return "TIniFile"; }

    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& def) override;
    void WriteString(const std::string& section, const std::string& ident,
                     const std::string& value) override;
    void ReadSection(const std::string& section, TStrings* strings) override;
    void ReadSections(TStrings* strings) override;
    void ReadSectionValues(const std::string& section, TStrings* strings) override;
    void EraseSection(const std::string& section) override;
    void DeleteKey(const std::string& section, const std::string& ident) override;
    void UpdateFile() override;
};
