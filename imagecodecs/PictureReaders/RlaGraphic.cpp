// The RLA reader: the 740-byte header, the row offset table and each row's channels.
#include "imagecodecs/PictureReaders/RlaGraphic.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

void TRLAGraphic::LoadFromStream(TStream* Stream) {
    constexpr const char* kInvalid = "RLA: image must be RGB(A).";
    ReleaseImage(this);
    TInput in(Stream);
    std::uint8_t h[740];
    in.Read(h, 740);
    auto s16 = [&](int at) { return static_cast<std::int16_t>(GetWord(h + at, true)); };
    const int channels = GetWord(h + 20, true);
    if (channels != 3 && channels != 4) throw Exception(kInvalid);
    const bool matte = GetWord(h + 22, true) != 0;
    const std::int64_t left = s16(8), right = s16(10), bottom = s16(12), top = s16(14);
    const std::int64_t width = right - left + 1;
    const std::int64_t height = std::llabs(bottom - top) + 1;
    const bool flip = bottom < top;
    MakeImage(this, matte ? pf32bit : pf24bit, nullptr, width, height, in.Size(), "Invalid image dimensions");
    std::vector<std::uint8_t> table(static_cast<std::size_t>(height) * 4);
    in.Read(table.data(), static_cast<std::int64_t>(table.size()));

    const int fetch = matte ? 4 : 3;
    const std::size_t w = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> packed;
    std::vector<std::uint8_t> channel[4];
    for (auto& c : channel) c.resize(w);
    TRLADecoder decoder;
    const TRows rows = RowsOf(this);
    for (std::int64_t r = 0; r < height; ++r) {
        in.Seek(GetLong(table.data() + 4 * r, true));
        for (int k = 0; k < fetch; ++k) {
            std::memset(channel[k].data(), 0, w);
            std::uint8_t cnt[2];
            if (in.ReadSome(cnt, 2) != 2) continue;
            packed.resize(GetWord(cnt, true));
            packed.resize(static_cast<std::size_t>(in.ReadSome(packed.data(), static_cast<std::int64_t>(packed.size()))));
            const std::uint8_t* src = packed.data();
            decoder.Decode(src, channel[k].data(), static_cast<std::uint32_t>(packed.size()), static_cast<std::uint32_t>(w));
        }
        std::uint8_t* line = rows.Row(static_cast<int>(flip ? height - 1 - r : r));
        for (std::size_t x = 0; x < w; ++x) {
            std::uint8_t* d = line + x * static_cast<std::size_t>(fetch);
            d[0] = channel[2][x];
            d[1] = channel[1][x];
            d[2] = channel[0][x];
            if (matte) d[3] = channel[3][x];
        }
    }
    Finished(this);
}
