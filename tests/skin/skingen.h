// The test skin: a generator that writes a skin's pictures (24-bit BMPs, byte by byte) and its
// description into a folder of the test's private state. Every face, hot area, glyph and thumb
// has its own colour, so a rendered picture reads back as faces, areas and glyph indices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skintest {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

class Image {
public:
    Image(int w, int h, Rgb fill = {}) : W(w), H(h), Px(static_cast<std::size_t>(w) * h, fill) {}
    void Set(int x, int y, Rgb c) { Px[static_cast<std::size_t>(y) * W + x] = c; }
    Rgb At(int x, int y) const { return Px[static_cast<std::size_t>(y) * W + x]; }
    void Fill(int x0, int y0, int x1, int y1, Rgb c);
    int W, H;
    std::vector<Rgb> Px;
};

// Writes a plain 24-bit bottom-up BMP (info header, rows padded to 4 bytes) to a Linux path.
void WriteBmp24(const std::string& localPath, const Image& img);

// Colour code of the test skin.
enum Face { kUp = 0, kOn = 1, kDown = 2 };
Rgb FaceBackground(Face f);                   // a face outside every hot area
Rgb FaceArea(Face f, int area);               // hot area `area` (0-based) on face f
Rgb DigitGlyph(int g);                        // glyph g (0..10) of the digits picture
Rgb LetterGlyph(int row, int column);         // cell of the letters picture
Rgb ThumbColour(int bar, bool dragging);      // thumb / dragging thumb of track bar `bar`
constexpr Rgb kMaskOpaque{0, 0, 0};
constexpr Rgb kMaskCut{255, 255, 255};

// What a pixel of a rendered test skin shows.
struct Decoded {
    enum Kind { Background, Area, Digit, Letter, Thumb, Other } kind = Other;
    int face = -1;    // Background / Area
    int index = -1;   // area, digit glyph, bar
    int row = -1, column = -1;  // letter
    bool dragging = false;
};
Decoded Decode(Rgb c);

// One skin on disk. Hot areas, display items and track bars are written as given (the lines of
// their sections); the pictures are made to match the areas.
struct SkinSpec {
    int width = 200, height = 100;
    std::string version = "150";  // empty: no [Version] section
    // Hot areas as (x, y, w, h) for painting the faces, and the description lines.
    struct Box {
        int x, y, w, h;
    };
    std::vector<Box> areas;
    std::vector<std::string> hotLines;
    std::vector<std::string> displayLines;
    std::vector<std::string> trackLines;
    std::string charset;            // empty: no Charset key
    bool withHover = true;          // MouseOnBitmap key
    bool withDown = true;           // MouseDownBitmap key
    bool withDigits = true, withLetters = true;
    int glyphW = 4, glyphH = 6;     // digit glyph size; letter cells are glyphW x glyphH too
    // Mask: cut the corners (cornerCut pixels square) away.
    int cornerCut = 5;
    std::string maskName = "mask.bmp", upName = "up.bmp", onName = "on.bmp", downName = "down.bmp";
    std::string extraBitmapInfo;    // more lines for [BITMAPINFO]
};

// The standard test skin: 200 x 100, version 150, hot areas
//  0 Play   (10,10,20,20)  hint "Play it"
//  1 Repeat (40,10,20,20)  switch, off, hint "Repeat"
//  2 EqA    (70,10,20,20)  group Bands, on
//  3 EqB    (100,10,20,20) group Bands, off
//  4 Over   (130,10,30,20) hint "first", overlapping
//  5 Under  (140,10,30,20) hint "second"
// displays Time (Number at 10,40, "0123") and Title (Text at 10,60, "AB"),
// track bars Vol (horizontal, 10,80, length 100, thumb 10x8, hint "Volume") and
// Bal (vertical, 180,10, length 60, thumb 8x10, position 50, hint "Balance").
SkinSpec StandardSkin();

// Writes the pictures and "skin.ini" into program folder `folder` (e.g. "c:\\skins\\a\\") and
// returns the description's program path. Thumbs are "thumbN.bmp" / "dragN.bmp" for bar N (1-based)
// with the sizes given by thumbSizes (w, h) per bar.
std::string WriteSkin(const std::string& folder, const SkinSpec& spec,
                      const std::vector<SkinSpec::Box>& thumbSizes = {{0, 0, 10, 8}, {0, 0, 8, 10}});

// Writes a text file (an ini) at a program path, CR LF line ends.
void WriteText(const std::string& programPath, const std::string& text);

}  // namespace skintest
