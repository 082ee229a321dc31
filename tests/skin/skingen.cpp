#include "skin/skingen.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace skintest {

void Image::Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = std::max(0, y0); y < std::min(H, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(W, x1); ++x) Set(x, y, c);
}

namespace {

void Put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, unsigned v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

std::uint8_t U8(int v) { return static_cast<std::uint8_t>(v); }

}  // namespace

void WriteBmp24(const std::string& localPath, const Image& img) {
    const unsigned stride = (static_cast<unsigned>(img.W) * 3 + 3) & ~3u;
    const unsigned pixels = stride * static_cast<unsigned>(img.H);
    std::string s;
    s += "BM";
    Put32(s, 14 + 40 + pixels);
    Put32(s, 0);
    Put32(s, 14 + 40);
    Put32(s, 40);
    Put32(s, static_cast<unsigned>(img.W));
    Put32(s, static_cast<unsigned>(img.H));
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);  // BI_RGB
    Put32(s, pixels);
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, 0);
    Put32(s, 0);
    for (int y = img.H - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < img.W; ++x) {
            Rgb c = img.At(x, y);
            row += static_cast<char>(c.b);
            row += static_cast<char>(c.g);
            row += static_cast<char>(c.r);
        }
        row.resize(stride, '\0');
        s += row;
    }
    testsupport::WriteAll(localPath, s);
}

Rgb FaceBackground(Face f) { return Rgb{U8(40 + 60 * f), 0, 100}; }
Rgb FaceArea(Face f, int area) { return Rgb{U8(40 + 60 * f), U8(10 + area * 20), 150}; }
Rgb DigitGlyph(int g) { return Rgb{250, U8(10 + g * 20), 30}; }
Rgb LetterGlyph(int row, int column) { return Rgb{U8(200 + row * 10), U8(column * 8), 60}; }
Rgb ThumbColour(int bar, bool dragging) { return Rgb{0, U8(dragging ? 200 : 250), U8(10 + bar * 40)}; }

Decoded Decode(Rgb c) {
    Decoded d;
    if ((c.r == 40 || c.r == 100 || c.r == 160) && (c.b == 100 || c.b == 150)) {
        d.face = (c.r - 40) / 60;
        if (c.b == 100) {
            d.kind = Decoded::Background;
        } else {
            d.kind = Decoded::Area;
            d.index = (c.g - 10) / 20;
        }
    } else if (c.r == 250 && c.b == 30) {
        d.kind = Decoded::Digit;
        d.index = (c.g - 10) / 20;
    } else if ((c.r == 200 || c.r == 210 || c.r == 220) && c.b == 60) {
        d.kind = Decoded::Letter;
        d.row = (c.r - 200) / 10;
        d.column = c.g / 8;
    } else if (c.r == 0 && (c.g == 200 || c.g == 250) && c.b >= 10) {
        d.kind = Decoded::Thumb;
        d.index = (c.b - 10) / 40;
        d.dragging = c.g == 200;
    }
    return d;
}

SkinSpec StandardSkin() {
    SkinSpec s;
    s.areas = {{10, 10, 20, 20}, {40, 10, 20, 20}, {70, 10, 20, 20}, {100, 10, 20, 20}, {130, 10, 30, 20}, {140, 10, 30, 20}};
    s.hotLines = {
        "Play, 10, 10, 20, 20, Play it",
        "Repeat, 40, 10, 20, 20, Repeat, FALSE",
        "EqA, 70, 10, 20, 20, A, TRUE, Bands",
        "EqB, 100, 10, 20, 20, B, FALSE, Bands",
        "Over, 130, 10, 30, 20, first",
        "Under, 140, 10, 30, 20, second",
    };
    s.displayLines = {
        "Time, Arial, FALSE, FALSE, 8, $000000, 10, 40, Number, 0123",
        "Title, Arial, FALSE, FALSE, 8, $000000, 10, 60, Text, AB",
    };
    s.trackLines = {
        "Vol, thumb1.bmp, drag1.bmp, 10, 80, 100, H, 0, Volume",
        "Bal, thumb2.bmp, drag2.bmp, 180, 10, 60, V, 50, Balance",
    };
    return s;
}

void WriteText(const std::string& programPath, const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    testsupport::WriteAll(win::LocalPath(programPath), crlf);
}

std::string WriteSkin(const std::string& folder, const SkinSpec& spec, const std::vector<SkinSpec::Box>& thumbSizes) {
    auto local = [&](const std::string& name) { return win::LocalPath(folder + name); };

    Image mask(spec.width, spec.height, kMaskOpaque);
    const int c = spec.cornerCut;
    mask.Fill(0, 0, c, c, kMaskCut);
    mask.Fill(spec.width - c, 0, spec.width, c, kMaskCut);
    mask.Fill(0, spec.height - c, c, spec.height, kMaskCut);
    mask.Fill(spec.width - c, spec.height - c, spec.width, spec.height, kMaskCut);
    WriteBmp24(local(spec.maskName), mask);

    const std::string faceNames[3] = {spec.upName, spec.onName, spec.downName};
    for (int f = 0; f < 3; ++f) {
        Image face(spec.width, spec.height, FaceBackground(static_cast<Face>(f)));
        for (std::size_t i = 0; i < spec.areas.size(); ++i) {
            const auto& a = spec.areas[i];
            face.Fill(a.x, a.y, a.x + a.w, a.y + a.h, FaceArea(static_cast<Face>(f), static_cast<int>(i)));
        }
        WriteBmp24(local(faceNames[f]), face);
    }

    const int gw = spec.glyphW, gh = spec.glyphH;
    Image digits(11 * gw, gh);
    for (int g = 0; g < 11; ++g) digits.Fill(g * gw, 0, (g + 1) * gw, gh, DigitGlyph(g));
    WriteBmp24(local("digits.bmp"), digits);
    Image letters(30 * gw, 3 * gh);
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 30; ++col)
            letters.Fill(col * gw, r * gh, (col + 1) * gw, (r + 1) * gh, LetterGlyph(r, col));
    WriteBmp24(local("letters.bmp"), letters);

    for (std::size_t i = 0; i < thumbSizes.size(); ++i) {
        const auto& t = thumbSizes[i];
        const std::string n = std::to_string(i + 1);
        WriteBmp24(local("thumb" + n + ".bmp"), Image(t.w, t.h, ThumbColour(static_cast<int>(i), false)));
        WriteBmp24(local("drag" + n + ".bmp"), Image(t.w, t.h, ThumbColour(static_cast<int>(i), true)));
    }

    std::string ini;
    if (!spec.version.empty()) ini += "[Version]\nVer=" + spec.version + "\n";
    ini += "[BITMAPINFO]\nMaskBitmap=" + spec.maskName + "\nMouseUpBitmap=" + spec.upName + "\n";
    if (spec.withDown) ini += "MouseDownBitmap=" + spec.downName + "\n";
    if (spec.withHover) ini += "MouseOnBitmap=" + spec.onName + "\n";
    if (spec.withDigits) ini += "NumbersBitmap=digits.bmp\n";
    if (spec.withLetters) ini += "TextBitmap=letters.bmp\n";
    ini += spec.extraBitmapInfo;
    auto section = [&](const std::string& name, const std::vector<std::string>& lines, const std::string& extra) {
        ini += "[" + name + "]\nCount=" + std::to_string(lines.size()) + "\n" + extra;
        for (std::size_t i = 0; i < lines.size(); ++i) ini += std::to_string(i + 1) + "=" + lines[i] + "\n";
    };
    section("HOTAREAINFO", spec.hotLines, "");
    section("DISPLAYINFO", spec.displayLines, spec.charset.empty() ? "" : "Charset=" + spec.charset + "\n");
    section("TRACKBARINFO", spec.trackLines, "");
    WriteText(folder + "skin.ini", ini);
    return folder + "skin.ini";
}

}  // namespace skintest
