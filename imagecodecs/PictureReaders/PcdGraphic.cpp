// The Photo-CD reader: luma and half-length chroma rows in pairs, the chroma spread over the pair
// and the next one, colour conversion and the placement by orientation.
#include "imagecodecs/PictureReaders/PcdGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {
inline std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }
}  // namespace

TPCDGraphic::TPCDGraphic() = default;

void TPCDGraphic::SaveToStream(TStream*) { throw EInvalidGraphicOperation("Saving Photo-CD images is not supported"); }

void TPCDGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    FStartPosition = in.Base();
    char magic[7] = {};
    in.Seek(2048);
    if (in.ReadSome(magic, 7) != 7 || std::memcmp(magic, "PCD_IPI", 7) != 0) throw Exception("PCD: wrong image format.");
    std::uint8_t orientation = 0;
    in.Seek(194635);
    in.ReadSome(&orientation, 1);
    orientation &= 3;
    int len, count;
    std::int64_t data;
    switch (Resolution) {
        case 0: len = 192, count = 128, data = 8192; break;
        case 1: len = 384, count = 256, data = 47104; break;
        case 2: len = 768, count = 512, data = 196608; break;
        default: throw Exception("PCD: image size currently not supported");
    }
    const bool portrait = orientation == 1 || orientation == 3;
    const int width = portrait ? count : len, height = portrait ? len : count;
    MakeImage(this, pf24bit, nullptr, width, height, std::max<std::int64_t>(in.Size(), data), "PCD: wrong image format.");
    const TRows rows = RowsOf(this);
    const std::size_t half = static_cast<std::size_t>(len / 2);
    std::vector<std::uint8_t> y0(static_cast<std::size_t>(len)), y1(y0.size());
    std::vector<std::uint8_t> c1(half + 1), c2(half + 1), n1(half + 1), n2(half + 1);
    std::vector<std::uint8_t> u(static_cast<std::size_t>(len)), v(u.size());
    auto readChroma = [&](std::int64_t at, std::vector<std::uint8_t>& a, std::vector<std::uint8_t>& b) {
        std::fill(a.begin(), a.end(), std::uint8_t{0});
        std::fill(b.begin(), b.end(), std::uint8_t{0});
        in.Seek(at);
        in.ReadSome(a.data(), static_cast<std::int64_t>(half));
        in.ReadSome(b.data(), static_cast<std::int64_t>(half));
        a[half] = a[half - 1];
        b[half] = b[half - 1];
    };
    auto put = [&](int q, int i, double Y, int cb, int cr) {
        int line, col;
        switch (orientation) {
            case 0: line = q, col = i; break;
            case 2: line = count - 1 - q, col = len - 1 - i; break;         // half turn
            case 1: line = len - 1 - i, col = q; break;                    // turned anticlockwise
            default: line = i, col = count - 1 - q; break;                 // turned clockwise
        }
        std::uint8_t* d = rows.Row(line) + 3 * col;
        d[2] = ToByte(Y * 1.3584 + (cr - 137) * 1.8215);
        d[1] = ToByte(Y * 1.3584 - (cr - 137) * 0.9271435 - (cb - 156) * 0.4302726);
        d[0] = ToByte(Y * 1.3584 + (cb - 156) * 2.2179);
    };
    for (int q = 0; q + 1 < count; q += 2) {
        const std::int64_t record = data + static_cast<std::int64_t>(q / 2) * 3 * len;
        std::fill(y0.begin(), y0.end(), std::uint8_t{0});
        std::fill(y1.begin(), y1.end(), std::uint8_t{0});
        in.Seek(record);
        in.ReadSome(y0.data(), len);
        in.ReadSome(y1.data(), len);
        readChroma(record + 2 * len, c1, c2);
        if (q + 2 < count) readChroma(data + static_cast<std::int64_t>(len) * ((q / 2 + 1) * 3 + 2), n1, n2);
        else n1 = c1, n2 = c2;
        for (int pass = 0; pass < 2; ++pass) {
            const std::vector<std::uint8_t>& Y = pass == 0 ? y0 : y1;
            for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(len) + 1; i += 2) {
                const std::size_t k = i / 2;
                int b0, b1, r0, r1;
                if (pass == 0) {
                    b0 = c1[k], b1 = (c1[k] + c1[k + 1]) >> 1;
                    r0 = c2[k], r1 = (c2[k] + c2[k + 1]) >> 1;
                } else {
                    b0 = (c1[k] + n1[k]) >> 1, b1 = (c1[k] + c1[k + 1] + n1[k] + n1[k + 1]) >> 2;
                    r0 = (c2[k] + n2[k]) >> 1, r1 = (c2[k] + c2[k + 1] + n2[k] + n2[k + 1]) >> 2;
                }
                put(q + pass, static_cast<int>(i), Y[i], b0, r0);
                put(q + pass, static_cast<int>(i + 1), Y[i + 1], b1, r1);
            }
        }
    }
    Finished(this);
}
