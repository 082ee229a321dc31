// The run-length encoder: every code is a colour or a run code of one colour (first free code + k - 2
// for k pixels), sent only once the decoder's table holds it. Right after a clear, a run of one
// colour is spelled as the ramp 1, 2, 3, ... pixels, each code making the decoder add the next longer
// run; later runs of that colour reuse the longest run so established. The encoder counts its codes
// so that it widens and clears exactly when a decoder's table does.
#include <cmath>

#include "imagecodecs/GifPicture.h"

int TriangleCount(int count, int limit) {
    if (count <= 0 || limit <= 0) return 0;
    const std::int64_t t = static_cast<std::int64_t>(limit) * (limit + 1) / 2;
    std::int64_t cost = (count / t) * limit;
    const std::int64_t r = count % t;
    if (r > 0) {
        std::int64_t k = static_cast<std::int64_t>(std::sqrt(static_cast<double>(r)));
        while (k > 1 && (k - 1) * k / 2 >= r) --k;
        while (k * (k + 1) / 2 < r) ++k;
        cost += k;
    }
    return static_cast<int>(cost);
}

void TRLEEncoder::EmitClear() {
    WidenLimit = InitialWidenLimit;
    ClearLimit = InitialClearLimit;
    CodesSinceClear = 0;
    LongestRun = 0;
    TGIFEncoder::EmitClear();
    CodeWidth = InitialCodeWidth;
}

void TRLEEncoder::PutRunCode(int code) {
    ClearPending = false;
    TGIFEncoder::PutCode(code);
    ++CodesSinceClear;
    if (CodesSinceClear == WidenLimit) {
        WidenLimit += 1 << CodeWidth;
        ++CodeWidth;
    }
    if (CodesSinceClear >= ClearLimit) EmitClear();
}

void TRLEEncoder::RestoreClearLimit() {
    ClearLimit = InitialClearLimit;
    if (CodesSinceClear >= ClearLimit) EmitClear();
}

void TRLEEncoder::Compress() {
    InitialWidenLimit = ClearCode - 1;
    InitialClearLimit = CodeSize <= 3 ? 9 : ClearCode - 2;
    RunCapacity = MaxCodeFor(12) - FirstFreeCode;
    EmitClear();
    CurrentColor = -1;
    int run = 0;
    int pixel = 0;
    while (NextPixel(pixel)) {
        if (run > 0 && pixel != CurrentColor) {
            FlushRun(run);
            run = 0;
        }
        if (pixel == CurrentColor) {
            ++run;
        } else {
            CurrentColor = pixel;
            run = 1;
        }
    }
    if (run > 0) FlushRun(run);
}

void TRLEEncoder::FlushRun(int n) {
    if (n == 1)
        PutRunCode(CurrentColor);
    else if (ClearPending)
        FlushAfterClear(n);
    else if (LongestRun > 1 && LongestRunColor == CurrentColor)
        FlushByKnownCode(n);
    else
        FlushByRepeat(n);
}

void TRLEEncoder::FlushAfterClear(int n) {
    ClearLimit = RunCapacity;
    LongestRunColor = CurrentColor;
    int k = 1;
    while (n > 0) {
        if (k == 1) {
            LongestRun = 1;
            n -= 1;
            PutRunCode(CurrentColor);
        } else if (n >= k) {
            LongestRun = k;
            n -= k;
            PutRunCode(FirstFreeCode + k - 2);
        } else {
            // The previous run followed by this code's first pixel makes the next longer run.
            const int r = n;
            ++LongestRun;
            n = 0;
            PutRunCode(r == 1 ? CurrentColor : FirstFreeCode + r - 2);
            break;
        }
        k = CodesSinceClear == 0 ? 1 : k + 1;
    }
    RestoreClearLimit();
}

void TRLEEncoder::FlushByRepeat(int n) {
    if (TriangleCount(n, RunCapacity) + 1 < n) {
        EmitClear();
        FlushAfterClear(n);
        return;
    }
    for (int i = 0; i < n; ++i) PutRunCode(CurrentColor);
}

void TRLEEncoder::FlushByKnownCode(int n) {
    const int m = LongestRun;
    int q = n / m, r = n % m;
    int cost = q + (r > 0 ? 1 : 0);
    if (q + CodesSinceClear + (r > 0 ? 1 : 0) > RunCapacity) {
        q = std::max(RunCapacity - CodesSinceClear, 0);
        r = n - m * q;
        cost = q + TriangleCount(r, RunCapacity) + 1;
    }
    if (TriangleCount(n, RunCapacity) + 1 < cost) {
        EmitClear();
        FlushAfterClear(n);
        return;
    }
    ClearLimit = RunCapacity;
    for (int i = 0; i < q; ++i) PutRunCode(FirstFreeCode + m - 2);
    if (r > 0) {
        if (ClearPending)
            FlushAfterClear(r);
        else
            PutRunCode(r == 1 ? CurrentColor : FirstFreeCode + r - 2);
    }
    RestoreClearLimit();
}
