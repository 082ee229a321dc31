// Exceptions and string helpers of the class library. Strings are Windows-1254 bytes.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <variant>

// The root of the class library's exceptions. Message is the text shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    ~Exception() override = default;
    const char* what() const noexcept override { return Message.c_str(); }
    virtual const char* ClassName() const { return "Exception"; }
    std::string Message;
};

#define CLASSLIB_EXCEPTION(Name, Base)                                \
    class Name : public Base {                                        \
    public:                                                           \
        using Base::Base;                                             \
        const char* ClassName() const override { return #Name; }      \
    }

CLASSLIB_EXCEPTION(EAbort, Exception);
CLASSLIB_EXCEPTION(EConvertError, Exception);
CLASSLIB_EXCEPTION(EListError, Exception);
CLASSLIB_EXCEPTION(EStringListError, EListError);
CLASSLIB_EXCEPTION(EStreamError, Exception);
CLASSLIB_EXCEPTION(EReadError, EStreamError);
CLASSLIB_EXCEPTION(EWriteError, EStreamError);
CLASSLIB_EXCEPTION(EFCreateError, EStreamError);
CLASSLIB_EXCEPTION(EFOpenError, EStreamError);
CLASSLIB_EXCEPTION(EOutOfMemory, Exception);
CLASSLIB_EXCEPTION(EInvalidOperation, Exception);
CLASSLIB_EXCEPTION(EInvalidPointer, Exception);
CLASSLIB_EXCEPTION(EComponentError, Exception);
CLASSLIB_EXCEPTION(EOSError, Exception);
CLASSLIB_EXCEPTION(EThread, Exception);
CLASSLIB_EXCEPTION(ERegistryException, Exception);
CLASSLIB_EXCEPTION(EIniFileException, Exception);

// Silent exception: stops an operation without an error box.
[[noreturn]] void Abort();

// Format: a subset of the class library's format strings: %s %d %u %x %X %c %% with optional
// '-' flag, width and precision ("%.2d", "%4s"), and "%*d" is not supported.
using FormatArg = std::variant<std::int64_t, std::uint64_t, std::string, char, double>;
std::string Format(const std::string& fmt, std::initializer_list<FormatArg> args);

std::string IntToStr(std::int64_t v);
std::string IntToHex(std::uint64_t v, int digits);
// Decimal, or hexadecimal with a leading '$' or "0x"/"0X"; leading and trailing blanks are not allowed.
// Throws EConvertError "'%s' is not a valid integer value".
int StrToInt(const std::string& s);
int StrToIntDef(const std::string& s, int def);
bool TryStrToInt(const std::string& s, int& out);

std::string Trim(const std::string& s);       // control characters and blanks at both ends
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s);  // ASCII letters only
std::string LowerCase(const std::string& s);  // ASCII letters only
int CompareText(const std::string& a, const std::string& b);      // ASCII, ignoring case
int AnsiCompareText(const std::string& a, const std::string& b);  // code page, ignoring case
bool SameText(const std::string& a, const std::string& b);        // AnsiCompareText == 0
int AnsiCompareStr(const std::string& a, const std::string& b);   // byte order

// 1-based copy: Copy(s, index, count); out-of-range indexes and counts are clipped.
std::string Copy(const std::string& s, int index, int count);
// 1-based position of sub in s, 0 when absent.
int Pos(const std::string& sub, const std::string& s);

std::string ExtractFilePath(const std::string& fileName);  // up to and including the last '\\', '/' or ':'
std::string ExtractFileName(const std::string& fileName);
std::string ExtractFileExt(const std::string& fileName);   // from the last '.', with the dot
std::string ChangeFileExt(const std::string& fileName, const std::string& ext);
// File names are program paths (see win::LocalPath).
bool FileExists(const std::string& fileName);

// Texts used by more than one unit.
namespace sysconst {
inline constexpr const char* InvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* ListIndexError = "List index out of bounds (%d)";
inline constexpr const char* StreamRead = "Stream read error";
inline constexpr const char* StreamWrite = "Stream write error";
inline constexpr const char* FCreateError = "Cannot create file %s";
inline constexpr const char* FOpenError = "Cannot open file %s";
inline constexpr const char* DuplicateString = "String list does not allow duplicates";
inline constexpr const char* SortedListError = "Operation not allowed on sorted string list";
}  // namespace sysconst
