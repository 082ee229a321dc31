// The SGI reader: header, row tables, and the bottom-up rows fetched channel by channel.
#include "imagecodecs/PictureReaders/SgiGraphic.h"

#include <algorithm>
#include <cstring>

#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {
constexpr const char* kInvalid = "Not a valid sgi, bw or rgb(a) image.";
}

void TSGIGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    FStream = Stream;
    FStartPosition = in.Base();
    std::uint8_t h[512];
    in.Read(h, 512);
    if (GetWord(h, true) != 474) throw Exception(kInvalid);
    const bool rle = h[2] == 1;
    FBytesPerSample = h[3];
    if (FBytesPerSample != 1 && FBytesPerSample != 2) throw Exception(kInvalid);
    const std::int64_t width = GetWord(h + 6, true), height = GetWord(h + 8, true);
    const std::uint16_t channels = GetWord(h + 10, true);
    const std::int64_t zsize = std::max<std::uint16_t>(channels, 1);
    const int fetch = channels == 3 ? 3 : channels == 4 ? 4 : 1;
    const std::int64_t bps = FBytesPerSample;

    // The packed-row buffer holds the longest row a writer makes: a count before every sample.
    FBuffer.assign(static_cast<std::size_t>(std::max<std::int64_t>(width, 1) * bps * 3), 0);
    FDecoder.reset();
    FRowStart.clear();
    FRowSize.clear();
    if (rle) {
        const std::int64_t entries = height * zsize;
        if (entries * 8 > in.Size()) throw Exception(kInvalid);
        std::vector<std::uint8_t> tables(static_cast<std::size_t>(entries * 8));
        in.ReadSome(tables.data(), entries * 8);
        FRowStart.resize(static_cast<std::size_t>(entries));
        FRowSize.resize(static_cast<std::size_t>(entries));
        for (std::size_t i = 0; i < static_cast<std::size_t>(entries); ++i) {
            FRowStart[i] = GetLong(tables.data() + 4 * i, true);
            FRowSize[i] = GetLong(tables.data() + 4 * (static_cast<std::size_t>(entries) + i), true);
        }
        FDecoder = std::make_unique<TSGIRLE>();
        FDecoder->SampleSize = FBytesPerSample;
    }

    const TPixelFormat format = fetch == 3 ? pf24bit : fetch == 4 ? pf32bit : pf8bit;
    MakeImage(this, format, fetch == 1 ? GreyPalette() : nullptr, width, height, in.Size(), kInvalid);
    const TRows rows = RowsOf(this);
    std::vector<std::uint8_t> channel[4];
    for (auto& c : channel) c.assign(static_cast<std::size_t>(width), 0);

    for (std::int64_t r = 0; r < height; ++r) {
        std::uint8_t* line = rows.Row(static_cast<int>(height - 1 - r));
        for (int k = 0; k < fetch; ++k) {
            std::uint8_t* target = fetch == 1 ? line : channel[k].data();
            std::memset(target, 0, static_cast<std::size_t>(width));
            if (rle) {
                const std::size_t index = static_cast<std::size_t>(r + k * height);
                in.Seek(FRowStart[index]);
                const std::int64_t want = std::min<std::int64_t>(std::int64_t{FRowSize[index]} * bps, static_cast<std::int64_t>(FBuffer.size()));
                const std::int64_t got = in.ReadSome(FBuffer.data(), want);
                const std::uint8_t* src = FBuffer.data();
                FDecoder->Decode(src, target, static_cast<std::uint32_t>(got), static_cast<std::uint32_t>(width));
            } else {
                in.Seek(512 + (k * height + r) * width * bps);
                if (bps == 1) {
                    in.ReadSome(target, width);
                } else {
                    const std::int64_t got = in.ReadSome(FBuffer.data(), width * 2);
                    for (std::int64_t x = 0; x < got / 2; ++x) target[x] = FBuffer[static_cast<std::size_t>(2 * x)];
                }
            }
        }
        if (fetch == 1) continue;
        for (std::int64_t x = 0; x < width; ++x) {
            std::uint8_t* d = line + x * fetch;
            d[0] = channel[2][static_cast<std::size_t>(x)];
            d[1] = channel[1][static_cast<std::size_t>(x)];
            d[2] = channel[0][static_cast<std::size_t>(x)];
            if (fetch == 4) d[3] = channel[3][static_cast<std::size_t>(x)];
        }
    }
    FBuffer.clear();
    FDecoder.reset();
    FStream = nullptr;
    Finished(this);
}
