// Drawing and writing the default skin.
#include "player/DefaultSkin.h"

#include <memory>
#include <vector>

#include "platform/classlib/graphics.h"
#include "platform/classlib/inifiles.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"
#include "player/Main.h"
#include "skin/SkinForm.h"

namespace dorlin {

namespace {

TColor Rgb(int r, int g, int b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }

const TColor kBody = Rgb(38, 42, 54);
const TColor kBodyEdge = Rgb(88, 96, 120);
const TColor kPanel = Rgb(8, 22, 16);
const TColor kGlow = Rgb(90, 240, 140);
const TColor kButtonUp = Rgb(66, 74, 94);
const TColor kButtonOn = Rgb(92, 104, 134);
const TColor kButtonDown = Rgb(32, 110, 190);
const TColor kGroove = Rgb(14, 16, 22);
const TColor kLabel = Rgb(226, 230, 240);

enum Face { Up, On, Down };

struct Button {
    const char* id;
    int x, y, w, h;
    const char* label;  // UTF-8
    bool isSwitch = false;
};

struct Bar {
    const char* id;
    int x, y, length;
    bool horizontal;
    int position;
    const char* thumb;  // file stem: STEM.bmp and STEM_d.bmp
    const char* hint;   // UTF-8
};

std::unique_ptr<TBitmap> NewBitmap(int w, int h, TColor fill) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(fill);
    b->Canvas()->FillRect(Rect(0, 0, w, h));
    return b;
}

void Box(TCanvas* c, int l, int t, int r, int b, TColor color) {
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color);
    c->FillRect(Rect(l, t, r, b));
}

void Text(TCanvas* c, const std::string& text, int x, int y, TColor color, int size, bool bold, TColor background) {
    c->Font()->SetName("Arial");
    c->Font()->SetSize(size);
    c->Font()->SetStyle(bold ? fsBold : 0);
    c->Font()->SetColor(color);
    c->Brush()->SetColor(background);
    c->Brush()->SetStyle(bsClear);
    c->TextOut(x, y, text);
}

void CentredText(TCanvas* c, const std::string& text, int l, int t, int w, int h, TColor color, int size, TColor background) {
    c->Font()->SetName("Arial");
    c->Font()->SetSize(size);
    c->Font()->SetStyle(fsBold);
    const int tw = c->TextWidth(text), th = c->TextHeight(text);
    Text(c, text, l + (w - tw) / 2, t + (h - th) / 2, color, size, true, background);
}

void DrawButton(TCanvas* c, const Button& b, Face f) {
    const TColor face = f == Up ? kButtonUp : f == On ? kButtonOn : kButtonDown;
    Box(c, b.x, b.y, b.x + b.w, b.y + b.h, Rgb(10, 10, 14));
    Box(c, b.x + 1, b.y + 1, b.x + b.w - 1, b.y + b.h - 1, face);
    if (f != Down) {
        Box(c, b.x + 1, b.y + 1, b.x + b.w - 1, b.y + 2, Rgb(140, 150, 175));
        Box(c, b.x + 1, b.y + 1, b.x + 2, b.y + b.h - 1, Rgb(140, 150, 175));
    }
    const int shift = f == Down ? 1 : 0;
    CentredText(c, cp1254::FromUtf8(b.label), b.x + shift, b.y + shift, b.w, b.h, kLabel, b.h >= 18 ? 8 : 6, face);
}

void DrawGroove(TCanvas* c, const Bar& b, int tw, int th) {
    if (b.horizontal) {
        const int y = b.y + th / 2;
        Box(c, b.x, y - 2, b.x + b.length, y + 2, kGroove);
    } else {
        const int x = b.x + tw / 2;
        Box(c, x - 2, b.y, x + 2, b.y + b.length, kGroove);
    }
}

void SaveThumbs(const std::string& folder, const Bar& b, int w, int h) {
    for (int drag = 0; drag < 2; ++drag) {
        auto t = NewBitmap(w, h, Rgb(10, 10, 14));
        Box(t->Canvas(), 1, 1, w - 1, h - 1, drag ? kGlow : Rgb(200, 206, 220));
        if (b.horizontal) Box(t->Canvas(), w / 2, 2, w / 2 + 1, h - 2, Rgb(60, 60, 70));
        else Box(t->Canvas(), 2, h / 2, w - 2, h / 2 + 1, Rgb(60, 60, 70));
        t->SaveToFile(folder + b.thumb + (drag ? "_d.bmp" : ".bmp"));
    }
}

// The glyph pictures: 11 digits of 8 x 12, and 30 x 3 letter cells of 7 x 11.
void SaveGlyphs(const std::string& folder) {
    const int dw = 8, dh = 12;
    auto digits = NewBitmap(11 * dw, dh, kPanel);
    for (int g = 0; g < 11; ++g) {
        const std::string ch(1, skin::kDigitGlyphs[g]);
        CentredText(digits->Canvas(), ch, g * dw, 0, dw, dh, kGlow, 8, kPanel);
    }
    digits->SaveToFile(folder + "digits.bmp");
    const int lw = 7, lh = 11;
    auto letters = NewBitmap(30 * lw, 3 * lh, kPanel);
    for (int row = 0; row < 3; ++row)
        for (std::size_t col = 0; col < skin::kLetterRows[row].size(); ++col) {
            const std::string ch(1, skin::kLetterRows[row][col]);
            CentredText(letters->Canvas(), ch, static_cast<int>(col) * lw, row * lh, lw, lh, kGlow, 7, kPanel);
        }
    letters->SaveToFile(folder + "letters.bmp");
}

// Mask: the body is black, what is cut away white (the key colour); the corners are rounded.
void SaveMask(const std::string& folder, const std::string& name, int w, int h, int radius) {
    auto m = NewBitmap(w, h, clBlack);
    TCanvas* c = m->Canvas();
    for (int y = 0; y < radius; ++y)
        for (int x = 0; x < radius; ++x) {
            const int dx = radius - x, dy = radius - y;
            if (dx * dx + dy * dy > radius * radius) {
                c->SetPixel(x, y, clWhite);
                c->SetPixel(w - 1 - x, y, clWhite);
                c->SetPixel(x, h - 1 - y, clWhite);
                c->SetPixel(w - 1 - x, h - 1 - y, clWhite);
            }
        }
    m->SaveToFile(folder + name);
}

std::string HotLine(const Button& b, const std::string& hint) {
    std::string line = std::string(b.id) + ", " + std::to_string(b.x) + ", " + std::to_string(b.y) + ", " +
                       std::to_string(b.w) + ", " + std::to_string(b.h) + ", \"" + hint + "\"";
    if (b.isSwitch) line += ", TRUE";
    return line;
}

std::string BarLine(const Bar& b) {
    return std::string(b.id) + ", " + b.thumb + ".bmp, " + b.thumb + "_d.bmp, " + std::to_string(b.x) + ", " +
           std::to_string(b.y) + ", " + std::to_string(b.length) + ", " + (b.horizontal ? "H" : "V") + ", " +
           std::to_string(b.position) + ", \"" + cp1254::FromUtf8(b.hint) + "\"";
}

std::string Section(const char* name, const std::vector<std::string>& lines, const std::string& extra = "") {
    std::string s = std::string("[") + name + "]\r\nCount=" + std::to_string(lines.size()) + "\r\n" + extra;
    for (std::size_t i = 0; i < lines.size(); ++i) s += std::to_string(i + 1) + "=" + lines[i] + "\r\n";
    return s;
}

// A face of a window: the body with its edge and the window's name at the top left.
std::unique_ptr<TBitmap> NewFace(int w, int h, const char* title) {
    auto bmp = NewBitmap(w, h, kBody);
    TCanvas* c = bmp->Canvas();
    Box(c, 0, 0, w, 1, kBodyEdge);
    Box(c, 0, h - 1, w, h, kBodyEdge);
    Box(c, 0, 0, 1, h, kBodyEdge);
    Box(c, w - 1, 0, w, h, kBodyEdge);
    Text(c, title, 10, 3, kLabel, 8, true, kBody);
    return bmp;
}

std::string FaceFile(const std::string& stem, Face f) {
    return stem + (f == Up ? "_up.bmp" : f == On ? "_on.bmp" : "_down.bmp");
}

// The version and the bitmaps of a skin whose pictures are STEM_mask, STEM_up, STEM_down and
// STEM_on, with the shared glyph pictures.
std::string SkinHeader(const std::string& stem) {
    return "[Version]\r\nVer=150\r\n[BITMAPINFO]\r\nMaskBitmap=" + stem + "_mask.bmp\r\nMouseUpBitmap=" +
           FaceFile(stem, Up) + "\r\nMouseDownBitmap=" + FaceFile(stem, Down) + "\r\nMouseOnBitmap=" +
           FaceFile(stem, On) + "\r\nNumbersBitmap=digits.bmp\r\nTextBitmap=letters.bmp\r\n";
}

void WriteText(const std::string& programPath, const std::string& text) {
    if (!win::WriteFileAtomic(win::LocalPath(programPath), text, 0644))
        throw EFCreateError(Format("Cannot create file %s", {programPath}));
}

// ---- The main skin ---------------------------------------------------------------------------------

constexpr int kMainW = 400, kMainH = 132;

const std::vector<Button>& MainButtons() {
    static const std::vector<Button> b = {
        {"BUTTON_MINIMIZE", 354, 4, 18, 13, "_"},
        {"BUTTON_EXIT", 376, 4, 18, 13, "x"},
        {"BUTTON_PREV", 10, 88, 40, 22, "|<<"},
        {"BUTTON_PREVTRACK", 54, 88, 40, 22, "<<"},
        {"BUTTON_PLAY", 98, 88, 40, 22, ">"},
        {"BUTTON_PAUSE", 142, 88, 40, 22, "||"},
        {"BUTTON_STOP", 186, 88, 40, 22, "[]"},
        {"BUTTON_NEXTTRACK", 230, 88, 40, 22, ">>"},
        {"BUTTON_NEXT", 274, 88, 40, 22, ">>|"},
        {"BUTTON_EJECT", 318, 88, 40, 22, "^"},
        {"BUTTON_EQUALIZER", 10, 114, 30, 13, "EQ"},
        {"BUTTON_PLAYLIST", 44, 114, 30, 13, "PL"},
        {"BUTTON_ABOUT", 78, 114, 30, 13, "?"},
        {"BUTTON_WEB", 112, 114, 30, 13, "WEB"},
    };
    return b;
}

const std::vector<Bar>& MainBars() {
    static const std::vector<Bar> b = {
        {"TRACKBAR_POS", 10, 70, 380, true, 0, "thumbpos", "Şarkı Konumu"},
        {"TRACKBAR_VOLUME", 196, 116, 80, true, 100, "thumbvol", "Ses"},
        {"TRACKBAR_BALANCE", 310, 116, 80, true, 50, "thumbbal", "Denge"},
    };
    return b;
}

void InstallMain(const std::string& folder) {
    for (Face f : {Up, On, Down}) {
        auto bmp = NewFace(kMainW, kMainH, "Dorlin");
        TCanvas* c = bmp->Canvas();
        Box(c, 10, 20, 390, 64, Rgb(70, 80, 100));
        Box(c, 11, 21, 389, 63, kPanel);
        Text(c, "/", 55, 44, kGlow, 8, true, kPanel);
        Text(c, "VOL", 174, 115, kLabel, 6, true, kBody);
        Text(c, "BAL", 286, 115, kLabel, 6, true, kBody);
        for (const auto& b : MainButtons()) DrawButton(c, b, f);
        DrawGroove(c, MainBars()[0], 14, 10);
        DrawGroove(c, MainBars()[1], 8, 10);
        DrawGroove(c, MainBars()[2], 8, 10);
        bmp->SaveToFile(folder + FaceFile("main", f));
    }
    SaveMask(folder, "main_mask.bmp", kMainW, kMainH, 7);
    SaveThumbs(folder, MainBars()[0], 14, 10);
    SaveThumbs(folder, MainBars()[1], 8, 10);
    SaveThumbs(folder, MainBars()[2], 8, 10);
    SaveGlyphs(folder);

    std::vector<std::string> hot;
    for (const auto& b : MainButtons()) hot.push_back(HotLine(b, HintText(b.id)));
    std::vector<std::string> bars;
    for (const auto& b : MainBars()) bars.push_back(BarLine(b));
    const std::vector<std::string> displays = {
        "TEXT_SONG, Arial, TRUE, FALSE, 10, $8CF05A, 16, 24",
        "TEXT_POS, Arial, FALSE, FALSE, 8, $8CF05A, 16, 44, Text",
        "TEXT_LEN, Arial, FALSE, FALSE, 8, $8CF05A, 64, 44, Text",
        "TEXT_HINT, Arial, FALSE, FALSE, 8, $A0A0A0, 140, 46",
    };
    WriteText(folder + "skin.ini",
              SkinHeader("main") + Section("HOTAREAINFO", hot) + Section("DISPLAYINFO", displays, "Charset=162\r\n") +
                  Section("TRACKBARINFO", bars));
}

// ---- The equalizer skin ----------------------------------------------------------------------------

constexpr int kEqW = 305, kEqH = 138;

void InstallEqualizer(const std::string& folder) {
    const char* labels[10] = {"60", "170", "310", "600", "1K", "3K", "6K", "12K", "14K", "16K"};
    const std::vector<Button> buttons = {
        {"BUTTON_EQUSE", 10, 118, 60, 15, "AÇIK", true},
        {"BUTTON_EQLOAD", 76, 118, 60, 15, "YÜKLE"},
        {"BUTTON_EQSAVE", 142, 118, 60, 15, "KAYDET"},
        {"BUTTON_EXIT", 235, 118, 60, 15, "KAPAT"},
    };
    std::vector<Bar> bars;
    static std::vector<std::string> ids;
    ids.clear();
    for (int i = 0; i < 10; ++i) ids.push_back("TRACKBAR_EQ" + std::to_string(i + 1));
    for (int i = 0; i < 10; ++i) bars.push_back({ids[i].c_str(), 16 + i * 27, 22, 82, false, 50, "thumbeq", "Ekolayzer"});
    for (Face f : {Up, On, Down}) {
        auto bmp = NewFace(kEqW, kEqH, "Ekolayzer");
        TCanvas* c = bmp->Canvas();
        Box(c, 230, 4, 295, 18, kPanel);
        Box(c, 10, 22 + 41, 295, 22 + 42, Rgb(70, 80, 100));  // the 0 dB line
        for (int i = 0; i < 10; ++i) {
            DrawGroove(c, bars[i], 14, 8);
            CentredText(c, labels[i], bars[i].x - 6, 106, 26, 10, kLabel, 6, kBody);
        }
        for (const auto& b : buttons) DrawButton(c, b, f);
        bmp->SaveToFile(folder + FaceFile("eq", f));
    }
    SaveMask(folder, "eq_mask.bmp", kEqW, kEqH, 6);
    SaveThumbs(folder, bars[0], 14, 8);
    std::vector<std::string> hot;
    const char* hints[] = {"Ekolayzer Açık/Kapalı", "Equalizer Yükle", "Equalizer Kaydet", "Kapat"};
    for (std::size_t i = 0; i < buttons.size(); ++i) hot.push_back(HotLine(buttons[i], cp1254::FromUtf8(hints[i])));
    std::vector<std::string> lines;
    for (const auto& b : bars) lines.push_back(BarLine(b));
    WriteText(folder + "Equalizer.ini",
              SkinHeader("eq") + Section("HOTAREAINFO", hot) +
                  Section("DISPLAYINFO", {"TEXT_VALUE, Arial, TRUE, FALSE, 8, $8CF05A, 236, 5"}, "Charset=162\r\n") +
                  Section("TRACKBARINFO", lines));
}

}  // namespace

void InstallDefaultSkin(const std::string& Folder) {
    win::MakeDirs(win::LocalPath(Folder));
    InstallMain(Folder);
    InstallEqualizer(Folder);
}

}  // namespace dorlin
