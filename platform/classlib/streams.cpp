#include "platform/classlib/streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/win/statedir.h"

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(sysconst::StreamRead);
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(sysconst::StreamWrite);
}

std::int64_t TStream::CopyFrom(TStream* source, std::int64_t count) {
    if (count == 0) {
        source->SetPosition(0);
        count = source->Size();
    }
    std::int64_t done = 0;
    char buf[61440];
    while (done < count) {
        std::int64_t n = std::min<std::int64_t>(count - done, sizeof buf);
        source->ReadBuffer(buf, n);
        WriteBuffer(buf, n);
        done += n;
    }
    return done;
}

std::int64_t TStream::Size() {
    std::int64_t pos = Seek(0, soFromCurrent);
    std::int64_t size = Seek(0, soFromEnd);
    Seek(pos, soFromBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) {}

std::string TStream::ReadAll() {
    std::string out;
    char buf[65536];
    for (;;) {
        auto n = Read(buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

std::int64_t TCustomMemoryStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || FPos >= Size()) return 0;
    std::int64_t n = std::min<std::int64_t>(count, Size() - FPos);
    std::memcpy(buffer, FData.data() + FPos, static_cast<size_t>(n));
    FPos += n;
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, int origin) {
    switch (origin) {
        case soFromBeginning: FPos = offset; break;
        case soFromCurrent: FPos += offset; break;
        case soFromEnd: FPos = Size() + offset; break;
        default: break;
    }
    if (FPos < 0) FPos = 0;
    return FPos;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    auto end = FPos + count;
    if (end > Size()) FData.resize(static_cast<size_t>(end));
    std::memcpy(FData.data() + FPos, buffer, static_cast<size_t>(count));
    FPos = end;
    return count;
}

void TMemoryStream::SetSize(std::int64_t size) {
    size = std::max<std::int64_t>(size, 0);
    FData.resize(static_cast<size_t>(size));
    if (FPos > size) FPos = size;
}

void TMemoryStream::Clear() {
    FData.clear();
    FPos = 0;
}

void TMemoryStream::LoadFromStream(TStream* s) {
    s->SetPosition(0);
    auto n = s->Size();
    SetSize(n);
    if (n) s->ReadBuffer(FData.data(), n);
    FPos = 0;
}

void TMemoryStream::SaveToStream(TStream* s) {
    if (!FData.empty()) s->WriteBuffer(FData.data(), Size());
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&f);
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(&f);
}

TStringStream::TStringStream(const std::string& s) {
    FData = s;
}

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName) {
    std::string path = win::LocalPath(fileName);
    if (mode == fmCreate) {
        FHandle = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (FHandle < 0) throw EFCreateError(Format(sysconst::FCreateError, {fileName}));
    } else {
        int flags = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
        FHandle = ::open(path.c_str(), flags | O_CLOEXEC);
        struct stat st;
        if (FHandle >= 0 && (::fstat(FHandle, &st) != 0 || S_ISDIR(st.st_mode))) {
            ::close(FHandle);  // a folder opens for reading here, but it is not a file
            FHandle = -1;
        }
        if (FHandle < 0) throw EFOpenError(Format(sysconst::FOpenError, {fileName}));
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0) ::close(FHandle);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(FHandle, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(FHandle, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, int origin) {
    int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<std::int64_t>(r);
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(FHandle, static_cast<off_t>(size)) != 0) throw EWriteError(sysconst::StreamWrite);
}
