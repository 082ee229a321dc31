// The readers' test helpers.
#include "imagecodecs/readers/reader_tools.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace readertest {

bool Shell(const std::string& command) {
    const int rc = std::system((command + " 2>/dev/null").c_str());
    EXPECT_EQ(rc, 0) << command;
    return rc == 0;
}


std::string Python() { return "/usr/bin/python3"; }

Image Pattern(int w, int h, unsigned seed, int colours, bool grey) {
    Image im;
    im.Width = w;
    im.Height = h;
    im.RGB.resize(static_cast<std::size_t>(w) * h * 3);
    unsigned s = seed * 2654435761u + 1;
    auto next = [&] {
        s = s * 1103515245u + 12345u;
        return (s >> 16) & 0x7FFF;
    };
    std::uint8_t cur[3] = {};
    for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) {
        if (next() % 3 == 0 || i == 0) {
            unsigned v = next();
            if (colours > 0) v %= static_cast<unsigned>(colours);
            if (grey) {
                cur[0] = cur[1] = cur[2] = static_cast<std::uint8_t>(colours > 0 ? v * (255 / std::max(colours - 1, 1)) : v);
            } else if (colours > 0) {
                cur[0] = static_cast<std::uint8_t>(v * 37 + 11);
                cur[1] = static_cast<std::uint8_t>(v * 91 + 5);
                cur[2] = static_cast<std::uint8_t>(v * 53 + 200);
            } else {
                cur[0] = static_cast<std::uint8_t>(v);
                cur[1] = static_cast<std::uint8_t>(next());
                cur[2] = static_cast<std::uint8_t>(next());
            }
        }
        std::copy(cur, cur + 3, im.RGB.begin() + static_cast<std::ptrdiff_t>(3 * i));
    }
    return im;
}

void WritePNM(const std::string& path, const Image& im, bool grey) {
    std::ofstream f(path, std::ios::binary);
    f << (grey ? "P5\n" : "P6\n") << im.Width << " " << im.Height << "\n255\n";
    if (grey) {
        for (std::size_t i = 0; i < im.RGB.size(); i += 3) f.put(static_cast<char>(im.RGB[i]));
    } else {
        f.write(reinterpret_cast<const char*>(im.RGB.data()), static_cast<std::streamsize>(im.RGB.size()));
    }
}

Image ReadPNM(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::size_t at = 0;
    auto token = [&]() {
        for (;;) {
            while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
            if (at < bytes.size() && bytes[at] == '#') {
                while (at < bytes.size() && bytes[at] != '\n') ++at;
                continue;
            }
            break;
        }
        std::string t;
        while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at]))) t += bytes[at++];
        return t;
    };
    Image im;
    const std::string magic = token();
    im.Width = std::stoi(token());
    im.Height = std::stoi(token());
    const int maxval = magic == "P4" ? 1 : std::stoi(token());
    ++at;
    const std::size_t n = static_cast<std::size_t>(im.Width) * im.Height;
    im.RGB.resize(n * 3);
    const int bps = maxval > 255 ? 2 : 1;
    if (magic == "P4") {
        const std::size_t rowBytes = (static_cast<std::size_t>(im.Width) + 7) / 8;
        for (int y = 0; y < im.Height; ++y)
            for (int x = 0; x < im.Width; ++x) {
                const bool black = (static_cast<unsigned char>(bytes.at(at + y * rowBytes + x / 8)) >> (7 - x % 8)) & 1;
                std::uint8_t* p = im.RGB.data() + 3 * (static_cast<std::size_t>(y) * im.Width + x);
                p[0] = p[1] = p[2] = black ? 0 : 255;
            }
        return im;
    }
    const int samples = magic == "P6" ? 3 : 1;
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const std::size_t k = (i * samples + (samples == 3 ? c : 0)) * bps;
            int v = static_cast<unsigned char>(bytes.at(at + k));
            if (bps == 1 && maxval != 255) v = (v * 255 + maxval / 2) / maxval;
            im.RGB[3 * i + c] = static_cast<std::uint8_t>(v);
        }
    return im;
}

Image FromBitmap(TBitmap* b) {
    Image im;
    im.Width = b->Width();
    im.Height = b->Height();
    im.RGB.resize(static_cast<std::size_t>(im.Width) * im.Height * 3);
    const int bpp = b->BitsPerPixel();
    std::vector<PALETTEENTRY> pal(256);
    if (bpp <= 8) {
        HPALETTE p = b->Palette();
        if (p) GetPaletteEntries(p, 0, 256, pal.data());
    }
    if (bpp == 32) im.Alpha.resize(static_cast<std::size_t>(im.Width) * im.Height);
    for (int y = 0; y < im.Height; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(b->ScanLine(y));
        for (int x = 0; x < im.Width; ++x) {
            std::uint8_t* p = im.RGB.data() + 3 * (static_cast<std::size_t>(y) * im.Width + x);
            int index = -1;
            switch (bpp) {
                case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
                case 4: index = (x % 2 == 0) ? row[x / 2] >> 4 : row[x / 2] & 15; break;
                case 8: index = row[x]; break;
                case 16: {
                    const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
                    p[0] = static_cast<std::uint8_t>(((v >> 10) & 31) << 3);
                    p[1] = static_cast<std::uint8_t>(((v >> 5) & 31) << 3);
                    p[2] = static_cast<std::uint8_t>((v & 31) << 3);
                    break;
                }
                case 24:
                    p[0] = row[3 * x + 2], p[1] = row[3 * x + 1], p[2] = row[3 * x];
                    break;
                default:
                    p[0] = row[4 * x + 2], p[1] = row[4 * x + 1], p[2] = row[4 * x];
                    im.Alpha[static_cast<std::size_t>(y) * im.Width + x] = row[4 * x + 3];
                    break;
            }
            if (index >= 0) {
                p[0] = pal[static_cast<std::size_t>(index)].peRed;
                p[1] = pal[static_cast<std::size_t>(index)].peGreen;
                p[2] = pal[static_cast<std::size_t>(index)].peBlue;
            }
        }
    }
    return im;
}

int Difference(const Image& a, const Image& b) {
    if (a.Width != b.Width || a.Height != b.Height || a.RGB.size() != b.RGB.size()) return -1;
    int d = 0;
    for (std::size_t i = 0; i < a.RGB.size(); ++i) d = std::max(d, std::abs(int{a.RGB[i]} - int{b.RGB[i]}));
    return d;
}

void Put16(std::string& s, unsigned v, bool big) {
    if (big) s += {static_cast<char>(v >> 8), static_cast<char>(v)};
    else s += {static_cast<char>(v), static_cast<char>(v >> 8)};
}

void Put32(std::string& s, std::uint32_t v, bool big) {
    if (big) {
        Put16(s, v >> 16, true);
        Put16(s, v & 0xFFFF, true);
    } else {
        Put16(s, v & 0xFFFF);
        Put16(s, v >> 16);
    }
}

}  // namespace readertest
