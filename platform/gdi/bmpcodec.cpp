// BMP reading (every common header, depth and compression) and writing.
#include "platform/gdi/bmpcodec.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/gdiobj.h"
#include "platform/gdi/picturelimits.h"

namespace gdi {
namespace {

using detail::Bitmap;

std::uint32_t U32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24); }
std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

HBITMAP Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return nullptr;
}

// Shift and width of a channel mask.
void MaskShape(std::uint32_t m, int* shift, int* bits) {
    *shift = 0;
    *bits = 0;
    if (!m) return;
    while (!(m & 1)) { m >>= 1; ++*shift; }
    while (m & 1) { m >>= 1; ++*bits; }
}

BYTE Scale(std::uint32_t v, int bits) {
    if (bits <= 0) return 0;
    if (bits >= 8) return static_cast<BYTE>(v >> (bits - 8));
    std::uint32_t max = (1u << bits) - 1;
    return static_cast<BYTE>((v * 255 + max / 2) / max);
}

// Decodes RLE8 / RLE4 into an indexed bitmap whose rows are bottom-up in the stream.
bool DecodeRle(const std::uint8_t* p, std::size_t n, Bitmap& b, bool rle4, bool topDown) {
    int x = 0, yStream = 0;  // yStream counts rows from the first stored row
    std::size_t i = 0;
    auto put = [&](int v) {
        if (x >= 0 && x < b.width && yStream < b.height) {
            int y = topDown ? yStream : b.height - 1 - yStream;
            b.SetRaw(x, y, static_cast<std::uint32_t>(v));
        }
        if (x <= b.width) ++x;  // past the right edge nothing is drawn: x need not grow further
    };
    while (i + 1 < n + 1) {
        if (i + 2 > n) return false;  // the end-of-bitmap mark is missing
        int count = p[i], val = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) put(rle4 ? ((k & 1) ? (val & 0x0F) : (val >> 4)) : val);
            continue;
        }
        if (val == 0) {  // end of line
            x = 0;
            ++yStream;
        } else if (val == 1) {  // end of bitmap
            return true;
        } else if (val == 2) {  // delta
            if (i + 2 > n) return false;
            x = std::min(x + p[i], b.width + 1);
            yStream += p[i + 1];
            i += 2;
        } else {  // absolute run of `val` pixels, padded to 16 bits
            int bytes = rle4 ? (val + 1) / 2 : val;
            if (i + static_cast<std::size_t>(bytes) > n) return false;
            for (int k = 0; k < val; ++k) {
                int v = rle4 ? ((k & 1) ? (p[i + k / 2] & 0x0F) : (p[i + k / 2] >> 4)) : p[i + k];
                put(v);
            }
            i += static_cast<std::size_t>((bytes + 1) & ~1);
        }
        if (yStream > b.height) return true;
    }
    return false;
}

}  // namespace

HBITMAP ReadBmp(const std::uint8_t* data, std::size_t size, bool hasFileHeader, std::size_t* bytesUsed,
                std::string* error) {
    std::size_t base = 0;
    std::uint32_t offBits = 0;
    if (hasFileHeader) {
        if (size < 14 || data[0] != 'B' || data[1] != 'M') return Fail(error, "not a bitmap file");
        offBits = U32(data + 10);
        base = 14;
    }
    if (size < base + 12) return Fail(error, "truncated header");
    const std::uint8_t* h = data + base;
    std::uint32_t hsize = U32(h);
    if (hsize != 12 && hsize < 40) return Fail(error, "unknown header size");
    if (size < base + hsize) return Fail(error, "truncated header");
    std::int64_t fileWidth, fileHeight;  // wide enough to negate the smallest 32-bit height
    int bpp;
    std::uint32_t compression = BI_RGB, clrUsed = 0;
    bool core = hsize == 12;
    if (core) {
        fileWidth = U16(h + 4);
        fileHeight = static_cast<std::int16_t>(U16(h + 6));
        bpp = U16(h + 10);
    } else {
        fileWidth = static_cast<std::int32_t>(U32(h + 4));
        fileHeight = static_cast<std::int32_t>(U32(h + 8));
        bpp = U16(h + 14);
        compression = U32(h + 16);
        clrUsed = U32(h + 32);
    }
    if (U16(h + (core ? 8 : 12)) != 1) return Fail(error, "bad plane count");
    bool topDown = fileHeight < 0;
    if (topDown) fileHeight = -fileHeight;
    if (!PictureSideAllowed(fileWidth) || !PictureSideAllowed(fileHeight)) return Fail(error, "bad dimensions");
    if (!PictureSizeAllowed(fileWidth, fileHeight)) return Fail(error, "picture too large");
    const int width = static_cast<int>(fileWidth), height = static_cast<int>(fileHeight);
    if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) return Fail(error, "bad depth");
    if (compression == BI_RLE8 && bpp != 8) return Fail(error, "RLE8 needs 8 bits");
    if (compression == BI_RLE4 && bpp != 4) return Fail(error, "RLE4 needs 4 bits");
    if (compression == BI_BITFIELDS && bpp != 16 && bpp != 32) return Fail(error, "bit fields need 16 or 32 bits");
    if (compression == 6 /* BI_ALPHABITFIELDS */ && (bpp == 16 || bpp == 32)) compression = BI_BITFIELDS;
    if (compression > BI_BITFIELDS) return Fail(error, "unsupported compression");
    if ((compression == BI_RLE4 || compression == BI_RLE8) && topDown) return Fail(error, "top-down RLE");

    std::size_t pos = base + hsize;
    std::uint32_t masks[3] = {0, 0, 0};
    if (compression == BI_BITFIELDS) {
        if (hsize >= 52) {
            masks[0] = U32(h + 40); masks[1] = U32(h + 44); masks[2] = U32(h + 48);
        } else {
            if (size < pos + 12) return Fail(error, "truncated bit fields");
            masks[0] = U32(data + pos); masks[1] = U32(data + pos + 4); masks[2] = U32(data + pos + 8);
            pos += 12;
        }
    } else if (bpp == 16) {
        masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0xFF0000; masks[1] = 0xFF00; masks[2] = 0xFF;
    }
    // Colour table.
    std::vector<RGBQUAD> colors;
    if (bpp <= 8) {
        // The declared table is skipped whole, but only 2^bits entries can be used.
        std::uint32_t n = clrUsed ? clrUsed : (1u << bpp);
        if (n > 256) return Fail(error, "bad colour count");
        std::size_t entry = core ? 3 : 4;
        if (size < pos + n * entry) return Fail(error, "truncated colour table");
        std::uint32_t used = std::min(n, 1u << bpp);
        for (std::uint32_t i = 0; i < used; ++i) {
            const std::uint8_t* q = data + pos + i * entry;
            colors.push_back(RGBQUAD{q[0], q[1], q[2], 0});
        }
        pos += n * entry;
    } else if (!core && clrUsed) {
        // A colour table of a true-colour file only tells the display's preferences: skip it.
        if (clrUsed <= 256) pos += clrUsed * 4;
    }
    if (hasFileHeader && offBits >= base + hsize && offBits <= size) pos = offBits;

    // The result's format.
    int outBpp = bpp;
    bool rgb565 = false;
    bool generic = false;  // 16/32 bits with masks needing per-pixel conversion
    if (bpp == 16) {
        if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) rgb565 = true;
        else if (!(masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)) { generic = true; outBpp = 32; }
    } else if (bpp == 32) {
        if (!(masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) generic = true;
    }
    // The pixels must be there before the picture is made: a stored picture needs every row, an RLE
    // picture at least its end mark.
    const bool rle = compression == BI_RLE4 || compression == BI_RLE8;
    const int stride = detail::StrideOf(width, bpp);
    const std::size_t need = rle ? 2 : static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (pos > size || size - pos < need) return Fail(error, rle ? "broken RLE data" : "truncated pixels");
    std::shared_ptr<Bitmap> b;
    try {
        b = detail::MakeBitmap(width, height, outBpp, false);
    } catch (const std::bad_alloc&) {
        if (error) *error = "out of memory";
        throw;
    }
    b->rgb565 = rgb565;
    if (bpp <= 8) {
        b->colors.assign(static_cast<std::size_t>(1) << bpp, RGBQUAD{});
        std::copy(colors.begin(), colors.end(), b->colors.begin());
    }

    if (rle) {
        if (!DecodeRle(data + pos, size - pos, *b, compression == BI_RLE4, false)) return Fail(error, "broken RLE data");
        if (bytesUsed) *bytesUsed = size;
    } else {
        const std::uint8_t* px = data + pos;
        int sh[3], bits[3];
        for (int c = 0; c < 3; ++c) MaskShape(masks[c], &sh[c], &bits[c]);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* row = px + static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride;
            if (!generic) {
                std::memcpy(b->Row(y), row, static_cast<std::size_t>(std::min(stride, b->stride)));
                continue;
            }
            std::uint32_t* out = reinterpret_cast<std::uint32_t*>(b->Row(y));
            for (int x = 0; x < width; ++x) {
                std::uint32_t v = bpp == 16 ? U16(row + 2 * x) : U32(row + 4 * x);
                BYTE r = Scale((v & masks[0]) >> sh[0], bits[0]);
                BYTE g = Scale((v & masks[1]) >> sh[1], bits[1]);
                BYTE bl = Scale((v & masks[2]) >> sh[2], bits[2]);
                out[x] = (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | bl;
            }
        }
        if (bytesUsed) *bytesUsed = pos + need;
    }
    if (bpp == 32 && !generic) {
        // The fourth byte is not colour: clear it so equal pictures compare equal.
        for (int y = 0; y < height; ++y) {
            std::uint8_t* r = b->Row(y);
            for (int x = 0; x < width; ++x) r[4 * x + 3] = 0;
        }
    }
    return reinterpret_cast<HBITMAP>(detail::Add(b));
}

bool ReadIcon(const std::uint8_t* data, std::size_t size, HBITMAP* image, HBITMAP* mask, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (size < 6 || U16(data) != 0 || (U16(data + 2) != 1 && U16(data + 2) != 2)) return fail("not an icon file");
    const std::size_t count = U16(data + 4);
    if (count == 0) return fail("no images");
    if (size < 6 + 16 * count) return fail("truncated directory");
    // The entry with the most pixels, then the most bits (a size byte of 0 means 256).
    std::size_t best = count;
    std::uint32_t bestPixels = 0, bestBits = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = data + 6 + 16 * i;
        const std::uint32_t w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256, bits = U16(e + 6);
        if (best == count || w * h > bestPixels || (w * h == bestPixels && bits > bestBits)) {
            best = i;
            bestPixels = w * h;
            bestBits = bits;
        }
    }
    const std::uint8_t* e = data + 6 + 16 * best;
    const std::uint32_t bytes = U32(e + 8), offset = U32(e + 12);
    if (offset > size || bytes > size - offset) return fail("truncated image");
    const std::uint8_t* dib = data + offset;
    if (bytes >= 8 && std::memcmp(dib, "\x89PNG\r\n\x1a\n", 8) == 0) return fail("PNG-compressed icon images are not read");
    if (bytes < 40 || U32(dib) < 40) return fail("bad image header");
    // The header's height counts the image and its mask: read the image alone.
    const std::int32_t doubled = static_cast<std::int32_t>(U32(dib + 8));
    if (doubled <= 0 || doubled % 2 != 0) return fail("bad image height");
    std::vector<std::uint8_t> copy(dib, dib + bytes);
    const std::uint32_t height = static_cast<std::uint32_t>(doubled / 2);
    copy[8] = static_cast<std::uint8_t>(height);
    copy[9] = static_cast<std::uint8_t>(height >> 8);
    copy[10] = static_cast<std::uint8_t>(height >> 16);
    copy[11] = static_cast<std::uint8_t>(height >> 24);
    std::size_t used = 0;
    std::string why;
    HBITMAP img = ReadBmp(copy.data(), copy.size(), false, &used, &why);
    if (!img) {
        if (error) *error = why;
        return false;
    }
    auto bmp = detail::GetBitmap(img);
    const int w = bmp->width, h = bmp->height;
    HBITMAP and_ = CreateBitmap(w, h, 1, 1, nullptr);
    auto m = detail::GetBitmap(and_);
    const std::size_t stride = static_cast<std::size_t>(detail::StrideOf(w, 1));
    if (copy.size() >= used && copy.size() - used >= stride * static_cast<std::size_t>(h))
        for (int y = 0; y < h; ++y)  // bottom-up, like the image
            std::memcpy(m->Row(y), copy.data() + used + static_cast<std::size_t>(h - 1 - y) * stride, stride);
    *image = img;
    *mask = and_;
    return true;
}

std::vector<std::uint8_t> WriteBmp(HBITMAP hbmp, bool fileHeader) {
    auto b = detail::GetBitmap(hbmp);
    std::vector<std::uint8_t> out;
    if (!b) return out;
    auto put16 = [&](std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); out.push_back(static_cast<std::uint8_t>(v >> 8)); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    bool bitfields = b->bpp == 16 && b->rgb565;
    std::uint32_t ncolors = b->bpp <= 8 ? (1u << b->bpp) : 0;
    std::uint32_t headerBytes = 40 + (bitfields ? 12 : 0) + ncolors * 4;
    std::uint32_t stride = static_cast<std::uint32_t>(detail::StrideOf(b->width, b->bpp));
    std::uint32_t image = stride * static_cast<std::uint32_t>(b->height);
    if (fileHeader) {
        out.push_back('B');
        out.push_back('M');
        put32(14 + headerBytes + image);
        put32(0);
        put32(14 + headerBytes);
    }
    put32(40);
    put32(static_cast<std::uint32_t>(b->width));
    put32(static_cast<std::uint32_t>(b->height));
    put16(1);
    put16(static_cast<std::uint32_t>(b->bpp));
    put32(bitfields ? BI_BITFIELDS : BI_RGB);
    put32(image);
    put32(0);
    put32(0);
    put32(ncolors);
    put32(0);
    if (bitfields) { put32(0xF800); put32(0x07E0); put32(0x001F); }
    for (std::uint32_t i = 0; i < ncolors; ++i) {
        RGBQUAD q = i < b->colors.size() ? b->colors[i] : RGBQUAD{};
        out.push_back(q.rgbBlue);
        out.push_back(q.rgbGreen);
        out.push_back(q.rgbRed);
        out.push_back(0);
    }
    std::size_t at = out.size();
    out.resize(at + image, 0);
    for (int y = 0; y < b->height; ++y)
        std::memcpy(out.data() + at + static_cast<std::size_t>(b->height - 1 - y) * stride, b->Row(y),
                    std::min<std::size_t>(stride, static_cast<std::size_t>(b->stride)));
    return out;
}

}  // namespace gdi
