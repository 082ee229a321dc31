// The ditherers: the plain nearest-colour engine, Floyd-Steinberg with one row of pending errors and
// running sums, and the kernel classes (Stucki, Sierra, Jarvis-Judice-Ninke, Stevenson-Arce, Burkes)
// with rotating error rows. Rows run in serpentine order; the error rows are allocated once.
#include <algorithm>
#include <utility>

#include "imagecodecs/GifPicture.h"

namespace {
// input + the pending error divided by d, rounded as the kernels do (truncation toward zero after
// adding d div 2), clamped to 0..255.
int Adjust(int input, int pending, int d) { return std::clamp(input + (pending + d / 2) / d, 0, 255); }
}  // namespace

TDitherEngine::TDitherEngine(int rowWidth, TColorLookup* lookup) : ColorMatcher(lookup), RowWidth(rowWidth) {}

BYTE TDitherEngine::Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    const BYTE index = ColorMatcher->Match(red, green, blue, outRed, outGreen, outBlue);
    StepColumn();
    return index;
}

void TDitherEngine::NewRow() {
    StepDir = -StepDir;
    CurColumn = StepDir > 0 ? 0 : RowWidth - 1;
}

// ---- Floyd-Steinberg ----------------------------------------------------------------------------
// The pointer stands at the cell of the column behind the pixel; the pixel's own pending value is
// one cell ahead of it. After matching, the column behind receives its last share (3e), and the
// running sums carry the shares of the pixel's own column (5e) and the column ahead (1e).

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int rowWidth, TColorLookup* lookup) : TDitherEngine(rowWidth, lookup) {
    for (Channel& c : Channels) c.Row.assign(static_cast<std::size_t>(rowWidth) + 2, 0);
}

BYTE TFloydSteinbergDitherer::Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    const int input[3] = {red, green, blue};
    int adjusted[3];
    for (int k = 0; k < 3; ++k) {
        Channel& c = Channels[k];
        adjusted[k] = Adjust(input[k], c.Row[Pointer + StepDir] + c.Carry, 16);
    }
    const BYTE index = ColorMatcher->Match(static_cast<BYTE>(adjusted[0]), static_cast<BYTE>(adjusted[1]),
                                           static_cast<BYTE>(adjusted[2]), outRed, outGreen, outBlue);
    const int chosen[3] = {outRed, outGreen, outBlue};
    for (int k = 0; k < 3; ++k) {
        Channel& c = Channels[k];
        const int e = adjusted[k] - chosen[k];
        c.Row[Pointer] = c.BelowBehind + 3 * e;
        c.BelowBehind = c.Below + 5 * e;
        c.Below = e;
        c.Carry = 7 * e;
    }
    Pointer += StepDir;
    StepColumn();
    return index;
}

void TFloydSteinbergDitherer::NewRow() {
    for (Channel& c : Channels) {
        c.Row[Pointer] = c.BelowBehind;
        c.Carry = c.Below = c.BelowBehind = 0;
    }
    TDitherEngine::NewRow();
    Pointer = StepDir > 0 ? 0 : RowWidth + 1;
}

// ---- Kernel classes -----------------------------------------------------------------------------

TKernelDitherer::TKernelDitherer(int rowWidth, TColorLookup* lookup, int rows, int margin, int divisor,
                                 std::vector<Share> kernel)
    : TDitherEngine(rowWidth, lookup), ErrorDivisor(divisor), Kernel(std::move(kernel)), Margin(margin), Cell(margin) {
    for (auto& channel : Rows)
        channel.assign(static_cast<std::size_t>(rows), std::vector<int>(static_cast<std::size_t>(rowWidth) + 2 * margin, 0));
}

BYTE TKernelDitherer::Quantize(BYTE red, BYTE green, BYTE blue, BYTE& outRed, BYTE& outGreen, BYTE& outBlue) {
    const int input[3] = {red, green, blue};
    int adjusted[3];
    for (int k = 0; k < 3; ++k) adjusted[k] = Adjust(input[k], Rows[k][0][Cell], ErrorDivisor);
    const BYTE index = ColorMatcher->Match(static_cast<BYTE>(adjusted[0]), static_cast<BYTE>(adjusted[1]),
                                           static_cast<BYTE>(adjusted[2]), outRed, outGreen, outBlue);
    const int chosen[3] = {outRed, outGreen, outBlue};
    for (int k = 0; k < 3; ++k) {
        const int e = adjusted[k] - chosen[k];
        if (e == 0) continue;
        for (const Share& s : Kernel) Rows[k][s.Row][Cell + s.Offset * StepDir] += s.Weight * e;
    }
    Cell += StepDir;
    StepColumn();
    return index;
}

void TKernelDitherer::NewRow() {
    for (auto& channel : Rows) {
        std::fill(channel.front().begin(), channel.front().end(), 0);
        std::rotate(channel.begin(), channel.begin() + 1, channel.end());
    }
    TDitherEngine::NewRow();
    Cell = StepDir > 0 ? Margin : RowWidth + Margin - 1;
}

TStuckiDitherer::TStuckiDitherer(int rowWidth, TColorLookup* lookup)
    : T5by3Ditherer(rowWidth, lookup, 3, 2, 42,
                    {{0, 1, 8}, {0, 2, 4},
                     {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                     {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}) {}

TSierraDitherer::TSierraDitherer(int rowWidth, TColorLookup* lookup)
    : T5by3Ditherer(rowWidth, lookup, 3, 2, 32,
                    {{0, 1, 5}, {0, 2, 3},
                     {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                     {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}) {}

TJaJuNiDitherer::TJaJuNiDitherer(int rowWidth, TColorLookup* lookup)
    : T5by3Ditherer(rowWidth, lookup, 3, 2, 48,
                    {{0, 1, 7}, {0, 2, 5},
                     {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                     {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}) {}

TSteveArcheDitherer::TSteveArcheDitherer(int rowWidth, TColorLookup* lookup)
    : TKernelDitherer(rowWidth, lookup, 4, 3, 200,
                      {{0, 2, 32},
                       {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
                       {2, -2, 12}, {2, 0, 26}, {2, 2, 12},
                       {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}) {}

TBurkesDitherer::TBurkesDitherer(int rowWidth, TColorLookup* lookup)
    : TKernelDitherer(rowWidth, lookup, 2, 2, 32,
                      {{0, 1, 8}, {0, 2, 4},
                       {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}) {}

std::unique_ptr<TDitherEngine> MakeDitherer(TDitherMode mode, int rowWidth, TColorLookup* lookup) {
    switch (mode) {
        case dtNearest: return std::make_unique<TDitherEngine>(rowWidth, lookup);
        case dtFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(rowWidth, lookup);
        case dtStucki: return std::make_unique<TStuckiDitherer>(rowWidth, lookup);
        case dtSierra: return std::make_unique<TSierraDitherer>(rowWidth, lookup);
        case dtJarvis: return std::make_unique<TJaJuNiDitherer>(rowWidth, lookup);
        case dtStevensonArce: return std::make_unique<TSteveArcheDitherer>(rowWidth, lookup);
        case dtBurkes: return std::make_unique<TBurkesDitherer>(rowWidth, lookup);
    }
    RaiseGIFError(TGIFMessageId::InvalidReductionMethod);
}
