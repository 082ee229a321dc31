// Streams: TStream, TMemoryStream, TStringStream, TFileStream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/components.h"

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream : public TObject {
public:
    const char* ClassName() const override { return "TStream"; }
    // Read/Write move up to count bytes and return how many moved.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;

    // ReadBuffer/WriteBuffer move exactly count bytes or raise "Stream read error"/"Stream write error".
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    std::int64_t CopyFrom(TStream* source, std::int64_t count);  // count 0: the whole source from 0

    std::int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(std::int64_t p) { Seek(p, soFromBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size);

    // Convenience for byte strings.
    void WriteString(const std::string& s) { WriteBuffer(s.data(), static_cast<std::int64_t>(s.size())); }
    std::string ReadAll();  // from the position to the end
};

class TCustomMemoryStream : public TStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    const char* Memory() const { return FData.data(); }
    char* Memory() { return FData.data(); }
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    const std::string& Data() const { return FData; }

protected:
    std::string FData;
    std::int64_t FPos = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    const char* ClassName() const override { return "TMemoryStream"; }
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    void SetSize(std::int64_t size) override;
    void Clear();
    void LoadFromStream(TStream* s);
    void SaveToStream(TStream* s);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
};

class TStringStream : public TMemoryStream {
public:
    explicit TStringStream(const std::string& s = "");
    const char* ClassName() const override { return "TStringStream"; }
    std::string DataString() const { return FData; }
};

constexpr unsigned fmCreate = 0xFFFF;
constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmShareDenyNone = 0x0040;
constexpr unsigned fmShareDenyWrite = 0x0020;

// A file opened by program path (win::LocalPath). fmCreate creates or truncates; failures raise
// EFCreateError "Cannot create file %s" or EFOpenError "Cannot open file %s".
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    const char* ClassName() const override { return "TFileStream"; }
    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    void SetSize(std::int64_t size) override;
    int Handle() const { return FHandle; }
    const std::string& FileName() const { return FFileName; }

private:
    int FHandle = -1;
    std::string FFileName;
};
