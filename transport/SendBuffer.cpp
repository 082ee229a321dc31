#include "transport/SendBuffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int Size) : FData(static_cast<size_t>(Size > 0 ? Size : DefaultSize)) {}

int TBuffer::Write(const void* Data, int Len) {
    int n = std::min(Len, Capacity() - FWritten);
    if (n <= 0 || !Data) return 0;
    std::memcpy(FData.data() + FWritten, Data, static_cast<size_t>(n));
    FWritten += n;
    return n;
}

const char* TBuffer::Peek(int& Len) const {
    Len = FWritten - FSent;
    if (Len <= 0) {
        Len = 0;
        return nullptr;
    }
    return FData.data() + FSent;
}

int TBuffer::Remove(int N) {
    int unsent = FWritten - FSent;
    if (unsent <= 0) return 0;
    N = std::clamp(N, 0, unsent);
    FSent += N;
    if (FSent >= FWritten) FWritten = FSent = 0;
    return N;
}
