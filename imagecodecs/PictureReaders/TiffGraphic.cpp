// The TIFF reader: header and first directory, strip tables, the choice of bitmap format and row
// conversion, and the strip loop with its decoders and predictor.
#include "imagecodecs/PictureReaders/TiffGraphic.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "imagecodecs/PictureDecoders.h"
#include "imagecodecs/PictureReaders/ReaderBase.h"

using namespace picturereaders;

namespace {

constexpr const char* kInvalid = "Invalid TIFF file.";

enum : std::uint16_t {
    tagImageWidth = 256, tagImageLength = 257, tagBitsPerSample = 258, tagCompression = 259,
    tagPhotometric = 262, tagStripOffsets = 273, tagSamplesPerPixel = 277, tagRowsPerStrip = 278,
    tagStripByteCounts = 279, tagPlanarConfig = 284, tagPredictor = 317, tagColorMap = 320,
    tagTileWidth = 322, tagTileOffsets = 324, tagExtraSamples = 338, tagYCbCrSubSampling = 530,
};

int TypeSize(std::uint16_t type) {
    switch (type) {
        case 1: case 2: case 6: return 1;
        case 3: case 8: return 2;
        case 4: case 9: return 4;
        default: return 0;
    }
}

// The directory of one file: finding tags and reading their values by their types.
class TDirectory {
public:
    TDirectory(const std::vector<TTIFFGraphic::TEntry>& entries, bool bigEndian, TInput& in)
        : FEntries(entries), FBig(bigEndian), FIn(in) {}

    const TTIFFGraphic::TEntry* Find(std::uint16_t tag) const {
        auto it = std::lower_bound(FEntries.begin(), FEntries.end(), tag,
                                   [](const TTIFFGraphic::TEntry& e, std::uint16_t t) { return e.Tag < t; });
        return it != FEntries.end() && it->Tag == tag ? &*it : nullptr;
    }
    // A single value cut to its type; the raw value field when the count is not 1.
    std::uint32_t Value(std::uint16_t tag, std::uint32_t def) const {
        const auto* e = Find(tag);
        if (!e) return def;
        if (e->Count != 1) return GetLong(e->Value, FBig);
        return Element(e->Value, e->Type, def);
    }
    std::uint32_t CountOf(std::uint16_t tag, std::uint32_t def) const {
        const auto* e = Find(tag);
        return e ? e->Count : def;
    }
    // Every value of a tag, each read by the tag's type, from the entry itself when they fit in it.
    TCardinalArray Values(std::uint16_t tag) const {
        TCardinalArray out;
        const auto* e = Find(tag);
        if (!e) return out;
        const int size = TypeSize(e->Type);
        if (size == 0 || e->Count == 0) return out;
        const std::int64_t bytes = std::int64_t{size} * e->Count;
        if (bytes > FIn.Size()) throw Exception(kInvalid);
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(bytes));
        if (bytes <= 4) {
            std::memcpy(raw.data(), e->Value, raw.size());
        } else {
            const std::uint32_t offset = GetLong(e->Value, FBig);
            if (offset > FIn.Size() - bytes) throw Exception(kInvalid);
            FIn.Seek(offset);
            FIn.Read(raw.data(), bytes);
        }
        out.resize(e->Count);
        for (std::uint32_t i = 0; i < e->Count; ++i) out[i] = Element(raw.data() + std::size_t{i} * size, e->Type, 0);
        return out;
    }

private:
    std::uint32_t Element(const std::uint8_t* p, std::uint16_t type, std::uint32_t def) const {
        switch (type) {
            case 1: case 2: case 6: return p[0];
            case 3: case 8: return GetWord(p, FBig);
            case 4: case 9: return GetLong(p, FBig);
            default: return def;
        }
    }
    const std::vector<TTIFFGraphic::TEntry>& FEntries;
    bool FBig;
    TInput& FIn;
};

enum class TConversion { Copy, High16, FirstSample, RGB, RGBA, CMYK, Lab, YCbCr };

// How one decoded row becomes a scan line.
struct TRowFormat {
    TConversion Conversion = TConversion::Copy;
    int Samples = 1;    // samples per pixel in the file
    int Bits = 8;       // bits per sample
    bool Big = false;   // byte order of 16-bit samples
    std::int64_t Width = 0;
    std::int64_t RowBytes = 0;
    int ScanBytes = 0;  // bytes of the scan line that may be written
};

inline std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

void ConvertRow(const TRowFormat& f, const std::uint8_t* src, std::uint8_t* dst) {
    const std::size_t w = static_cast<std::size_t>(f.Width);
    const std::size_t s = static_cast<std::size_t>(f.Samples);
    const bool wide = f.Bits == 16;
    const std::size_t hi = f.Big ? 0 : 1;
    // The most significant byte of sample i.
    auto sample = [&](std::size_t i) -> unsigned { return wide ? src[2 * i + hi] : src[i]; };
    switch (f.Conversion) {
        case TConversion::Copy:
            std::memcpy(dst, src, static_cast<std::size_t>(std::min<std::int64_t>(f.RowBytes, f.ScanBytes)));
            break;
        case TConversion::High16:
            for (std::size_t x = 0; x < w; ++x) dst[x] = src[2 * x + hi];
            break;
        case TConversion::FirstSample:
            for (std::size_t x = 0; x < w; ++x) dst[x] = static_cast<std::uint8_t>(sample(x * s));
            break;
        case TConversion::RGB:
            if (!wide && s == 3) {
                for (std::size_t x = 0; x < w; ++x, src += 3, dst += 3) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                }
                break;
            }
            for (std::size_t x = 0; x < w; ++x) {
                dst[3 * x] = static_cast<std::uint8_t>(sample(x * s + 2));
                dst[3 * x + 1] = static_cast<std::uint8_t>(sample(x * s + 1));
                dst[3 * x + 2] = static_cast<std::uint8_t>(sample(x * s));
            }
            break;
        case TConversion::RGBA:
            for (std::size_t x = 0; x < w; ++x) {
                dst[4 * x] = static_cast<std::uint8_t>(sample(x * s + 2));
                dst[4 * x + 1] = static_cast<std::uint8_t>(sample(x * s + 1));
                dst[4 * x + 2] = static_cast<std::uint8_t>(sample(x * s));
                dst[4 * x + 3] = static_cast<std::uint8_t>(sample(x * s + 3));
            }
            break;
        case TConversion::CMYK:
            for (std::size_t x = 0; x < w; ++x) {
                std::uint8_t* d = dst + 3 * x;
                if (wide) {
                    auto full = [&](std::size_t i) -> std::uint32_t { return GetWord(src + 2 * i, f.Big); };
                    const std::uint32_t k = full(x * s + 3);
                    for (int c = 0; c < 3; ++c) {
                        const std::uint32_t v = full(x * s + static_cast<std::size_t>(c));
                        const std::uint32_t t = v + k - static_cast<std::uint32_t>((std::uint64_t{v} * k + 32767) / 65535);
                        d[2 - c] = t < 65536 ? static_cast<std::uint8_t>(255 - (t >> 8)) : 0;
                    }
                } else {
                    const int k = src[x * s + 3];
                    for (int c = 0; c < 3; ++c) {
                        const int v = src[x * s + static_cast<std::size_t>(c)];
                        d[2 - c] = static_cast<std::uint8_t>(std::max(0, (v * k + 127) / 255 + 255 - v - k));
                    }
                }
            }
            break;
        case TConversion::Lab:
            for (std::size_t x = 0; x < w; ++x) {
                const double L = src[3 * x] / 2.56;
                const double a = static_cast<std::int8_t>(src[3 * x + 1]);
                const double b = static_cast<std::int8_t>(src[3 * x + 2]);
                double X, Y, Z;
                if (L < 7.9996) {
                    Y = L / 903.3;
                    X = Y + a / 3893.5;
                    Z = Y - b / 1557.4;
                } else {
                    const double fy = (L + 16) / 116;
                    X = std::pow(fy + a / 500, 3);
                    Y = fy * fy * fy;
                    Z = std::pow(fy - b / 200, 3);
                }
                dst[3 * x + 2] = ToByte((2.998 * X - 1.458 * Y - 0.541 * Z) * 255);
                dst[3 * x + 1] = ToByte((-0.952 * X + 1.893 * Y + 0.059 * Z) * 255);
                dst[3 * x] = ToByte((0.099 * X - 0.198 * Y + 1.099 * Z) * 255);
            }
            break;
        case TConversion::YCbCr:
            for (std::size_t x = 0; x < w; ++x) {
                const double Y = src[3 * x], cb = src[3 * x + 1] - 128.0, cr = src[3 * x + 2] - 128.0;
                dst[3 * x + 2] = ToByte(Y + 1.402 * cr);
                dst[3 * x + 1] = ToByte(Y - 0.344136 * cb - 0.714136 * cr);
                dst[3 * x] = ToByte(Y + 1.772 * cb);
            }
            break;
    }
}

// Horizontal differencing of S one-byte samples a pixel undone over n samples; the running sums
// stay in registers, so no load waits for the store just before it.
template <std::size_t S>
void UndoBytePredictor(std::uint8_t* row, std::size_t n) {
    std::uint8_t sum[S];
    std::memcpy(sum, row, S);
    for (std::size_t i = S; i < n; i += S)
        for (std::size_t k = 0; k < S; ++k) row[i + k] = sum[k] = static_cast<std::uint8_t>(sum[k] + row[i + k]);
}

// Undoes horizontal differencing: each sample adds the same sample of the pixel to its left.
void UndoPredictor(std::uint8_t* row, std::int64_t width, int samples, int bits, bool big) {
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(samples);
    const std::size_t s = static_cast<std::size_t>(samples);
    if (bits == 8) {
        switch (s) {
            case 1: UndoBytePredictor<1>(row, n); break;
            case 2: UndoBytePredictor<2>(row, n); break;
            case 3: UndoBytePredictor<3>(row, n); break;
            case 4: UndoBytePredictor<4>(row, n); break;
            default:
                for (std::size_t i = s; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - s]);
                break;
        }
    } else if (bits == 16) {
        for (std::size_t i = s; i < n; ++i) {
            const unsigned v = static_cast<unsigned>(GetWord(row + 2 * i, big) + GetWord(row + 2 * (i - s), big)) & 0xFFFFu;
            row[2 * i + (big ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
            row[2 * i + (big ? 1 : 0)] = static_cast<std::uint8_t>(v);
        }
    }
}

}  // namespace

TTIFFGraphic::TTIFFGraphic() { SetPixelFormat(pf24bit); }

void TTIFFGraphic::SaveToStream(TStream*) { throw EInvalidGraphicOperation("Saving TIFF images is not supported"); }

void TTIFFGraphic::LoadFromStream(TStream* Stream) {
    ReleaseImage(this);
    TInput in(Stream);
    FBasePosition = in.Base();

    std::uint8_t header[8];
    in.Read(header, 8);
    FBigEndian = header[0] == 'M' && header[1] == 'M';
    FVersion = GetWord(header + 2, FBigEndian);
    FFirstIFD = GetLong(header + 4, FBigEndian);
    if (FVersion != 42) throw Exception(kInvalid);

    in.Seek(FFirstIFD);
    const std::uint16_t count = in.Word(FBigEndian);
    std::vector<std::uint8_t> raw(std::size_t{count} * 12);
    in.Read(raw.data(), static_cast<std::int64_t>(raw.size()));
    FEntries.assign(count, TEntry{});
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = raw.data() + 12 * i;
        FEntries[i].Tag = GetWord(p, FBigEndian);
        FEntries[i].Type = GetWord(p + 2, FBigEndian);
        FEntries[i].Count = GetLong(p + 4, FBigEndian);
        std::memcpy(FEntries[i].Value, p + 8, 4);
    }
    // Writers that do not sort their directories still mean every tag they wrote.
    std::stable_sort(FEntries.begin(), FEntries.end(), [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });
    TDirectory dir(FEntries, FBigEndian, in);

    if (dir.Find(tagTileWidth) || dir.Find(tagTileOffsets)) throw Exception(kInvalid);
    const std::uint32_t photometric = dir.Value(tagPhotometric, 0);
    const std::uint32_t compression = dir.Value(tagCompression, 1);
    const std::uint32_t samples = dir.Value(tagSamplesPerPixel, 1);
    const TCardinalArray bitsValues = dir.Values(tagBitsPerSample);
    const std::uint32_t bits = bitsValues.empty() ? 1 : bitsValues[0];
    const std::uint32_t extra = dir.CountOf(tagExtraSamples, 0);
    const std::uint32_t predictor = dir.Value(tagPredictor, 0);
    if (samples == 0 || samples > 16 || extra >= samples || bits == 0 || bits > 16)
        throw Exception(kInvalid);
    if (samples > 1 && dir.Value(tagPlanarConfig, 1) == 2) throw Exception(kInvalid);
    const std::uint32_t colourSamples = samples - std::min(extra, samples);

    TRowFormat f;
    f.Samples = static_cast<int>(samples);
    f.Bits = static_cast<int>(bits);
    f.Big = FBigEndian;
    TPixelFormat format = pf24bit;
    const bool bits8or16 = bits == 8 || bits == 16;
    if (colourSamples == 1 && (photometric == 0 || photometric == 1 || photometric == 3)) {
        if (samples == 1 && (bits == 1 || bits == 4 || bits == 8)) {
            format = bits == 1 ? pf1bit : bits == 4 ? pf4bit : pf8bit;
            f.Conversion = TConversion::Copy;
        } else if (bits == 16 && photometric != 3) {
            format = pf8bit;
            f.Conversion = samples == 1 ? TConversion::High16 : TConversion::FirstSample;
        } else if (bits == 8) {
            format = pf8bit;
            f.Conversion = TConversion::FirstSample;
        } else {
            throw Exception(kInvalid);
        }
    } else if (colourSamples == 3 && photometric == 2 && bits8or16) {
        format = samples == 3 ? pf24bit : pf32bit;
        f.Conversion = samples == 3 ? TConversion::RGB : TConversion::RGBA;
    } else if (colourSamples == 3 && photometric == 6 && bits == 8 && samples == 3) {
        const TCardinalArray sub = dir.Values(tagYCbCrSubSampling);
        if (sub.size() < 2 || sub[0] != 1 || sub[1] != 1) throw Exception(kInvalid);
        f.Conversion = TConversion::YCbCr;
    } else if (colourSamples == 3 && photometric == 8 && bits == 8 && samples == 3) {
        f.Conversion = TConversion::Lab;
    } else if (colourSamples == 4 && photometric == 2 && bits8or16) {
        format = pf32bit;
        f.Conversion = TConversion::RGBA;
    } else if (colourSamples >= 4 && photometric == 5 && bits8or16) {
        f.Conversion = TConversion::CMYK;
    } else {
        throw Exception(kInvalid);
    }

    // The palette of one colour sample.
    HPALETTE palette = nullptr;
    if (colourSamples == 1) {
        const int mapBits = bits == 16 ? 8 : static_cast<int>(bits);
        const int entries = 1 << mapBits;
        const int step = bits == 1 ? 255 : bits == 4 ? 17 : 1;  // 4 bits: 0, 17, ..., 255
        if (photometric == 3) {
            const std::int64_t mapBytes = std::int64_t{3} * entries * 2;
            const std::uint32_t offset = dir.Value(tagColorMap, 0);
            if (offset > in.Size() - mapBytes) throw Exception(kInvalid);
            std::vector<std::uint8_t> map(static_cast<std::size_t>(mapBytes));
            in.Seek(offset);
            in.Read(map.data(), mapBytes);
            std::vector<PALETTEENTRY> pe(static_cast<std::size_t>(entries));
            for (int j = 0; j < entries; ++j) {
                FColorMap[static_cast<std::size_t>(j)] = GetWord(map.data() + 2 * j, FBigEndian);
                FColorMap[static_cast<std::size_t>(256 + j)] = GetWord(map.data() + 2 * (entries + j), FBigEndian);
                FColorMap[static_cast<std::size_t>(512 + j)] = GetWord(map.data() + 2 * (2 * entries + j), FBigEndian);
                pe[static_cast<std::size_t>(j)] = PALETTEENTRY{static_cast<BYTE>(FColorMap[static_cast<std::size_t>(j)] >> 8),
                                                               static_cast<BYTE>(FColorMap[static_cast<std::size_t>(256 + j)] >> 8),
                                                               static_cast<BYTE>(FColorMap[static_cast<std::size_t>(512 + j)] >> 8), 0};
            }
            palette = MakePalette(pe);
        } else {
            palette = GreyPalette(entries, step, photometric == 0);
        }
    }

    std::unique_ptr<TDecoder> decoder;
    if (compression == 5) decoder = std::make_unique<TTIFFLZW>();
    else if (compression == 32773) decoder = std::make_unique<TPackbitsRLE>();
    else if (compression != 1) {
        if (palette) DeleteObject(ToGdiObj(palette));
        throw Exception("TIFF: Unknown compression scheme");
    }

    const std::int64_t width = dir.Value(tagImageWidth, 0);
    const std::int64_t height = dir.Value(tagImageLength, 0);
    TCardinalArray offsets, byteCounts, rowsPerStrip;
    try {
        offsets = dir.Values(tagStripOffsets);
        byteCounts = dir.Values(tagStripByteCounts);
        rowsPerStrip = dir.Values(tagRowsPerStrip);
    } catch (...) {
        if (palette) DeleteObject(ToGdiObj(palette));
        throw;
    }
    if (offsets.empty()) offsets.push_back(0);
    const std::size_t strips = offsets.size();
    MakeImage(this, format, palette, width, height, in.Size(), kInvalid);

    f.Width = width;
    f.RowBytes = (width * bits * samples + 7) / 8;
    f.ScanBytes = ScanLineBytes();
    if (strips < 2) rowsPerStrip.assign(1, static_cast<std::uint32_t>(height));
    else if (rowsPerStrip.empty()) rowsPerStrip.assign(1, static_cast<std::uint32_t>((height + static_cast<std::int64_t>(strips) - 1) / static_cast<std::int64_t>(strips)));

    const TRows rows = RowsOf(this);
    std::vector<std::uint8_t> strip, packed, zeroRow;
    std::int64_t row = 0;
    for (std::size_t s = 0; s < strips && row < height; ++s) {
        std::int64_t stripRows = s < rowsPerStrip.size() ? rowsPerStrip[s] : rowsPerStrip.back();
        if (stripRows <= 0) stripRows = height;
        stripRows = std::min(stripRows, height - row);
        const std::int64_t stripBytes = stripRows * f.RowBytes;
        if (offsets[s] > static_cast<std::uint64_t>(in.Size())) throw Exception(kInvalid);
        in.Seek(offsets[s]);
        if (decoder) {
            std::int64_t count = s < byteCounts.size() && byteCounts[s] != 0 ? byteCounts[s] : in.Left();
            count = std::min(count, in.Left());
            packed.resize(static_cast<std::size_t>(count));
            packed.resize(static_cast<std::size_t>(in.ReadSome(packed.data(), count)));
        }
        // The strip buffer holds no more than the strip's bytes can describe (an LZW code stands for
        // at most 4096 bytes, a PackBits pair for 128), so a header that claims huge rows makes no
        // huge buffer; what the data does not fill is zero, never the last strip's bytes.
        const std::int64_t most = !decoder ? in.Left()
                                  : compression == 5 ? static_cast<std::int64_t>(packed.size()) * 4096
                                                     : static_cast<std::int64_t>(packed.size()) * 64 + 128;
        const std::int64_t room = std::min(stripBytes, most);
        if (strip.size() < static_cast<std::size_t>(room)) strip.resize(static_cast<std::size_t>(room));
        std::size_t filled;
        if (decoder) {
            const std::uint8_t* src = packed.data();
            filled = decoder->Decode(src, strip.data(), static_cast<std::uint32_t>(packed.size()), static_cast<std::uint32_t>(room));
        } else {
            filled = static_cast<std::size_t>(in.ReadSome(strip.data(), room));
        }
        std::memset(strip.data() + filled, 0, static_cast<std::size_t>(room) - filled);
        for (std::int64_t r = 0; r < stripRows; ++r, ++row) {
            std::uint8_t* src = strip.data() + r * f.RowBytes;
            if ((r + 1) * f.RowBytes > room) {
                // A row the data does not reach, or reaches only in part.
                zeroRow.assign(static_cast<std::size_t>(f.RowBytes), 0);
                if (r * f.RowBytes < room) std::memcpy(zeroRow.data(), src, static_cast<std::size_t>(room - r * f.RowBytes));
                src = zeroRow.data();
            }
            if (predictor == 2) UndoPredictor(src, width, f.Samples, f.Bits, FBigEndian);
            ConvertRow(f, src, rows.Row(static_cast<int>(row)));
        }
    }
    Finished(this);
}
