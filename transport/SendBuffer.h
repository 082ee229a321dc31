// One chunk of a socket's send queue: a fixed-capacity block that is filled at the back and sent
// from the front.
#pragma once

#include <vector>

#include "platform/classlib/components.h"

class TBuffer : public TObject {
public:
    static constexpr int DefaultSize = 1514;

    explicit TBuffer(int Size);
    const char* ClassName() const override { return "TBuffer"; }

    // Copies as much of Data as fits behind the bytes already written; returns that count.
    int Write(const void* Data, int Len);
    // The first unsent byte and the count of unsent bytes (nullptr and 0 when nothing is unsent).
    const char* Peek(int& Len) const;
    // Marks up to N unsent bytes sent; returns the count. A fully sent chunk becomes empty again.
    int Remove(int N);

    int Capacity() const { return static_cast<int>(FData.size()); }
    int Written() const { return FWritten; }
    int Sent() const { return FSent; }

private:
    std::vector<char> FData;
    int FWritten = 0;
    int FSent = 0;
};
