// Fonts and text: FreeType faces found through fontconfig, drawn without anti-aliasing; text on a
// window's surface may go to a painter of the display instead, and is then measured as it draws.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/gdi/gdiobj.h"
#include "platform/win/winbase.h"

using namespace gdi::detail;

namespace {

// Windows-1254 to Unicode.
const char32_t kHigh[128] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0xFFFD, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0xFFFD, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,
};
char32_t ToUnicode(unsigned char c) { return c < 0x80 ? c : kHigh[c - 0x80]; }

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The installed family a face name stands for.
std::string FamilyFor(const std::string& face) {
    std::string f = Lower(face);
    if (f == "arial" || f == "helvetica" || f == "ms sans serif" || f == "microsoft sans serif" ||
        f == "ms shell dlg" || f == "ms shell dlg 2" || f == "system" || f.empty())
        return "Liberation Sans";
    if (f == "times new roman" || f == "times" || f == "ms serif") return "Liberation Serif";
    if (f == "courier new" || f == "courier" || f == "fixedsys" || f == "terminal") return "Liberation Mono";
    if (f == "verdana" || f == "tahoma") return "DejaVu Sans";
    return face;
}

struct FaceKey {
    std::string file;
    int index;
    bool operator<(const FaceKey& o) const { return std::tie(file, index) < std::tie(o.file, o.index); }
};

struct Engine {
    std::mutex mu;
    FT_Library lib = nullptr;
    std::map<FaceKey, FT_Face> faces;
    std::map<std::tuple<std::string, bool, bool>, std::pair<std::string, int>> resolved;
    bool fcReady = false;
    Engine() {
        if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
        fcReady = FcInit() != 0;
        // Fontconfig's configuration is released at exit (nothing of it is kept past a lookup).
        if (fcReady) std::atexit([] { FcFini(); });
    }
};

Engine& engine() {
    static Engine* e = new Engine;  // kept to the end: fonts may be measured during teardown
    return *e;
}

// Caller holds the engine lock.
std::pair<std::string, int> Resolve(Engine& e, const std::string& face, bool bold, bool italic) {
    auto key = std::make_tuple(Lower(face), bold, italic);
    auto it = e.resolved.find(key);
    if (it != e.resolved.end()) return it->second;
    std::pair<std::string, int> result{"", 0};
    if (e.fcReady) {
        auto tryFamily = [&](const std::string& family) -> bool {
            FcPattern* pat = FcPatternCreate();
            FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
            FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
            FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
            FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
            FcConfigSubstitute(nullptr, pat, FcMatchPattern);
            FcDefaultSubstitute(pat);
            FcResult res;
            FcPattern* m = FcFontMatch(nullptr, pat, &res);
            bool ok = false;
            if (m) {
                FcChar8* file = nullptr;
                int index = 0;
                if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) {
                    FcPatternGetInteger(m, FC_INDEX, 0, &index);
                    result = {reinterpret_cast<const char*>(file), index};
                    ok = true;
                }
                FcPatternDestroy(m);
            }
            FcPatternDestroy(pat);
            return ok;
        };
        if (!tryFamily(FamilyFor(face))) tryFamily("sans-serif");
    }
    e.resolved.emplace(key, result);
    return result;
}

// A face set to the font's pixel size. Caller holds the engine lock.
FT_Face FaceFor(Engine& e, const LOGFONTA& lf) {
    if (!e.lib) return nullptr;
    bool bold = lf.lfWeight >= 600, italic = lf.lfItalic != 0;
    auto [file, index] = Resolve(e, lf.lfFaceName, bold, italic);
    if (file.empty()) return nullptr;
    FaceKey key{file, index};
    FT_Face face;
    auto it = e.faces.find(key);
    if (it == e.faces.end()) {
        if (FT_New_Face(e.lib, file.c_str(), index, &face) != 0) return nullptr;
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        e.faces.emplace(key, face);
    } else {
        face = it->second;
    }
    int px;
    if (lf.lfHeight < 0) {
        px = -lf.lfHeight;
    } else if (lf.lfHeight > 0) {
        // A cell height: the em is the cell less the internal leading.
        double cell = static_cast<double>(face->ascender - face->descender);
        px = cell > 0 ? static_cast<int>(std::lround(lf.lfHeight * face->units_per_EM / cell)) : lf.lfHeight;
    } else {
        px = 13;
    }
    px = std::clamp(px, 1, 2000);
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px));
    return face;
}

struct Metrics {
    int ascent = 0, descent = 0, avgWidth = 0, maxWidth = 0;
};

Metrics MetricsOf(FT_Face face) {
    Metrics m;
    if (!face) return m;
    m.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    m.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    m.maxWidth = static_cast<int>((face->size->metrics.max_advance + 63) >> 6);
    if (FT_Load_Char(face, 'x', FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0)
        m.avgWidth = static_cast<int>((face->glyph->advance.x + 32) >> 6);
    return m;
}

int Advance(FT_Face face, unsigned char c) {
    if (!face) return 0;
    if (FT_Load_Char(face, ToUnicode(c), FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) return 0;
    return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

int WidthOf(FT_Face face, const char* text, int len) {
    int w = 0;
    for (int i = 0; i < len; ++i) w += Advance(face, static_cast<unsigned char>(text[i]));
    return w;
}

// The window-text painter, behind its own lock (setting it does not start the font engine).
std::mutex& PainterLock() {
    static std::mutex mu;
    return mu;
}
gdi::WindowTextPainter& Painter() {
    static gdi::WindowTextPainter painter;
    return painter;
}
gdi::WindowTextMeasurer& Measurer() {
    static gdi::WindowTextMeasurer measurer;
    return measurer;
}

// How text in one font is measured on one DC: on the DCs of windows and of the screen by the
// window-text measurer when one is set (its renderer draws the windows' text), else by the face's
// own advances. Caller holds the engine lock.
class Ruler {
public:
    Ruler(const DC& dc, FT_Face face, const LOGFONTA& lf) : face_(face), lf_(lf), line_(MetricsOf(face)) {
        if (!face || !(dc.window || dc.screen)) return;
        {
            std::lock_guard lk(PainterLock());
            measurer_ = Measurer();
        }
        if (!measurer_) return;
        const gdi::TextExtent line = measurer_(lf_, Em(), std::string());
        line_.ascent = line.ascent;
        line_.descent = line.descent;
        line_.avgWidth = Width("x", 1);
    }
    // The line's ascent and descent, the average character's width and the widest's.
    const Metrics& Line() const { return line_; }
    int Height() const { return line_.ascent + line_.descent; }
    int Em() const { return face_ ? static_cast<int>(face_->size->metrics.y_ppem) : 0; }
    int Width(const char* text, int len) const {
        if (!measurer_) return WidthOf(face_, text, len);
        if (!text || len <= 0) return 0;
        return measurer_(lf_, Em(), std::string(text, static_cast<std::size_t>(len))).width;
    }
    int Width(const std::string& text) const { return Width(text.data(), static_cast<int>(text.size())); }

private:
    FT_Face face_;
    LOGFONTA lf_;
    Metrics line_;
    gdi::WindowTextMeasurer measurer_;
};

// Draws text with its cell's top-left at device (x, y) in colour c; underline on request. A run on
// a window's surface goes to the window-text painter when one takes it, with the ruler's measure.
void DrawRun(DC& dc, Bitmap& bmp, FT_Face face, const Ruler& ruler, const LOGFONTA& lf, int x, int y, const char* text,
             int len, COLORREF c, bool underline, int underlineFrom = -1, int underlineTo = -1) {
    if (!face) return;
    Metrics m = MetricsOf(face);
    gdi::WindowTextPainter painter;
    if (dc.window && len > 0) {
        std::lock_guard lk(PainterLock());
        painter = Painter();
    }
    if (painter) {
        gdi::WindowText run;
        run.window = dc.window;
        run.x = x;
        run.y = y;
        run.width = ruler.Width(text, len);
        run.ascent = ruler.Line().ascent;
        run.em = ruler.Em();
        run.text.assign(text, static_cast<std::size_t>(len));
        run.font = lf;
        run.color = c;
        run.underlineFrom = underline ? 0 : underlineFrom;
        run.underlineTo = underline ? len : underlineTo;
        run.clip = RECT{0, 0, bmp.width, bmp.height};
        if (dc.clip) {
            RECT box{bmp.width, bmp.height, 0, 0};
            for (const Band& b : *dc.clip)
                for (const auto& [l, r] : b.spans) {
                    box.left = std::min<LONG>(box.left, l);
                    box.right = std::max<LONG>(box.right, r);
                    box.top = std::min<LONG>(box.top, b.top);
                    box.bottom = std::max<LONG>(box.bottom, b.bottom);
                }
            run.clip = box;
        }
        if (painter(run)) return;
    }
    int pen = x;
    int baseline = y + m.ascent;
    for (int i = 0; i < len; ++i) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (FT_Load_Char(face, ToUnicode(ch), FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        FT_GlyphSlot g = face->glyph;
        if (g->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(g, FT_RENDER_MODE_MONO) != 0) continue;
        const FT_Bitmap& bm = g->bitmap;
        int gx = pen + g->bitmap_left, gy = baseline - g->bitmap_top;
        for (unsigned row = 0; row < bm.rows; ++row) {
            const unsigned char* src = bm.buffer + static_cast<long>(row) * bm.pitch;
            for (unsigned col = 0; col < bm.width; ++col) {
                bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (src[col >> 3] >> (7 - (col & 7))) & 1 : src[col] > 127;
                if (on) PlotDevice(dc, bmp, gx + static_cast<int>(col), gy + static_cast<int>(row), c);
            }
        }
        int adv = static_cast<int>((g->advance.x + 32) >> 6);
        if (underline || (i >= underlineFrom && i < underlineTo)) {
            int uy = baseline + 1;
            for (int k = 0; k < adv; ++k) PlotDevice(dc, bmp, pen + k, uy, c);
        }
        pen += adv;
    }
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
    if (!lf) return nullptr;
    auto f = std::make_shared<Font>();
    f->lf = *lf;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(Add(f));
}

HFONT CreateFontA(int height, int width, int esc, int orient, int weight, DWORD italic, DWORD underline,
                  DWORD strike, DWORD charset, DWORD, DWORD, DWORD, DWORD, const char* face) {
    LOGFONTA lf;
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = esc;
    lf.lfOrientation = orient;
    lf.lfWeight = weight ? weight : FW_NORMAL;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfUnderline = underline ? 1 : 0;
    lf.lfStrikeOut = strike ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(charset);
    if (face) std::snprintf(lf.lfFaceName, LF_FACESIZE, "%s", face);
    return CreateFontIndirectA(&lf);
}

COLORREF SetTextColor(HDC h, COLORREF c) {
    auto dc = GetDCObj(h);
    if (!dc) return CLR_INVALID;
    return std::exchange(dc->textColor, c);
}
COLORREF GetTextColor(HDC h) {
    auto dc = GetDCObj(h);
    return dc ? dc->textColor : CLR_INVALID;
}
COLORREF SetBkColor(HDC h, COLORREF c) {
    auto dc = GetDCObj(h);
    if (!dc) return CLR_INVALID;
    return std::exchange(dc->bkColor, c);
}
COLORREF GetBkColor(HDC h) {
    auto dc = GetDCObj(h);
    return dc ? dc->bkColor : CLR_INVALID;
}
int SetBkMode(HDC h, int mode) {
    auto dc = GetDCObj(h);
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    return std::exchange(dc->bkMode, mode);
}
int GetBkMode(HDC h) {
    auto dc = GetDCObj(h);
    return dc ? dc->bkMode : 0;
}

namespace {
LOGFONTA FontOf(const DC& dc) {
    auto f = GetFont(dc.font);
    return f ? f->lf : LOGFONTA{};
}
}  // namespace

BOOL ExtTextOutA(HDC h, int x, int y, UINT options, const RECT* r, const char* text, UINT length, const INT_PTR*) {
    auto dc = GetDCObj(h);
    if (!dc) return FALSE;
    auto bmp = Target(*dc);
    LOGFONTA lf = FontOf(*dc);
    Engine& e = engine();
    std::lock_guard lk(e.mu);
    FT_Face face = FaceFor(e, lf);
    const Ruler ruler(*dc, face, lf);
    int len = text ? static_cast<int>(length) : 0;
    int w = ruler.Width(text, len);
    if (!bmp) return TRUE;
    int dx = x + dc->org.x, dy = y + dc->org.y;
    std::optional<std::vector<Band>> savedClip = dc->clip;
    if (r && (options & ETO_CLIPPED)) {
        Region rr;
        rr.SetRects({RECT{r->left + dc->org.x, r->top + dc->org.y, r->right + dc->org.x, r->bottom + dc->org.y}});
        dc->clip = dc->clip ? Combine(*dc->clip, rr.bands, RGN_AND) : rr.bands;
    }
    if (r && (options & ETO_OPAQUE))
        FillDevice(*dc, RECT{r->left + dc->org.x, r->top + dc->org.y, r->right + dc->org.x, r->bottom + dc->org.y},
                   ResolveColor(*dc, dc->bkColor));
    if (dc->bkMode == OPAQUE && len > 0)
        FillDevice(*dc, RECT{dx, dy, dx + w, dy + ruler.Height()}, ResolveColor(*dc, dc->bkColor));
    DrawRun(*dc, *bmp, face, ruler, lf, dx, dy, text, len, ResolveColor(*dc, dc->textColor), lf.lfUnderline != 0);
    dc->clip = savedClip;
    return TRUE;
}

BOOL TextOutA(HDC h, int x, int y, const char* text, int length) {
    return ExtTextOutA(h, x, y, 0, nullptr, text, static_cast<UINT>(std::max(0, length)), nullptr);
}

BOOL GetTextExtentPoint32A(HDC h, const char* text, int length, SIZE* size) {
    auto dc = GetDCObj(h);
    if (!dc || !size) return FALSE;
    Engine& e = engine();
    std::lock_guard lk(e.mu);
    const LOGFONTA lf = FontOf(*dc);
    const Ruler ruler(*dc, FaceFor(e, lf), lf);
    size->cx = ruler.Width(text, std::max(0, length));
    size->cy = ruler.Height();
    return TRUE;
}

BOOL GetTextMetricsA(HDC h, TEXTMETRICA* tm) {
    auto dc = GetDCObj(h);
    if (!dc || !tm) return FALSE;
    Engine& e = engine();
    std::lock_guard lk(e.mu);
    LOGFONTA lf = FontOf(*dc);
    FT_Face face = FaceFor(e, lf);
    const Ruler ruler(*dc, face, lf);
    const Metrics& m = ruler.Line();
    *tm = TEXTMETRICA{};
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmHeight = m.ascent + m.descent;
    tm->tmInternalLeading = std::max(0, static_cast<int>(tm->tmHeight) - ruler.Em());
    tm->tmAveCharWidth = m.avgWidth;
    tm->tmMaxCharWidth = m.maxWidth;
    tm->tmWeight = lf.lfWeight;
    tm->tmItalic = lf.lfItalic;
    tm->tmCharSet = lf.lfCharSet;
    return TRUE;
}

int GetTextFaceA(HDC h, int size, char* out) {
    auto dc = GetDCObj(h);
    if (!dc) return 0;
    LOGFONTA lf = FontOf(*dc);
    int n = static_cast<int>(std::strlen(lf.lfFaceName));
    if (!out) return n + 1;
    if (size <= 0) return 0;
    int k = std::min(n, size - 1);
    std::memcpy(out, lf.lfFaceName, static_cast<std::size_t>(k));
    out[k] = 0;
    return k;
}

// ---- DrawText ----
namespace {

struct Line {
    std::string text;   // without prefix marks
    int accel = -1;     // index of the underlined character
};

// Removes "&" prefixes: "&&" is one "&", "&x" underlines x.
Line StripPrefix(const std::string& s, bool prefix) {
    Line l;
    if (!prefix) {
        l.text = s;
        return l;
    }
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != '&') l.accel = static_cast<int>(l.text.size());
        } else if (s[i] == '&') {
            continue;
        }
        l.text += s[i];
    }
    return l;
}

std::string ExpandTabs(const std::string& s, const Ruler& ruler, int tabWidth) {
    std::string out;
    for (char c : s) {
        if (c != '\t') {
            out += c;
            continue;
        }
        int w = ruler.Width(out);
        int space = std::max(1, ruler.Width(" ", 1));
        int target = tabWidth > 0 ? (w / tabWidth + 1) * tabWidth : w + space;
        while (w < target) {
            out += ' ';
            w += space;
        }
    }
    return out;
}

}  // namespace

int DrawTextA(HDC h, const char* text, int length, RECT* r, UINT format) {
    auto dc = GetDCObj(h);
    if (!dc || !r) return 0;
    std::string s = text ? (length < 0 ? std::string(text) : std::string(text, static_cast<std::size_t>(length))) : "";
    Engine& e = engine();
    std::unique_lock lk(e.mu);
    LOGFONTA lf = FontOf(*dc);
    FT_Face face = FaceFor(e, lf);
    const Ruler ruler(*dc, face, lf);
    const Metrics& m = ruler.Line();
    int lineH = ruler.Height();
    int width = r->right - r->left;
    bool prefix = !(format & DT_NOPREFIX);

    // Break into lines.
    std::vector<std::string> raw;
    if (format & DT_SINGLELINE) {
        std::string one;
        for (char c : s)
            if (c != '\r' && c != '\n') one += c;
        raw.push_back(one);
    } else {
        std::string cur;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r' || s[i] == '\n') {
                raw.push_back(cur);
                cur.clear();
                if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            } else {
                cur += s[i];
            }
        }
        raw.push_back(cur);
    }
    int tabWidth = 8 * std::max(1, m.avgWidth);
    std::vector<Line> lines;
    for (auto& rl : raw) {
        Line l = StripPrefix(rl, prefix);
        if (format & DT_EXPANDTABS) l.text = ExpandTabs(l.text, ruler, tabWidth);
        if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE) && width > 0) {
            // Greedy breaking at blanks; a word wider than the line stays whole.
            std::string rest = l.text;
            int accel = l.accel;
            while (!rest.empty()) {
                if (ruler.Width(rest) <= width) {
                    lines.push_back(Line{rest, accel});
                    rest.clear();
                    break;
                }
                std::size_t cut = std::string::npos;
                for (std::size_t i = 1; i < rest.size(); ++i) {
                    if (rest[i] == ' ' && ruler.Width(rest.data(), static_cast<int>(i)) <= width) cut = i;
                    else if (ruler.Width(rest.data(), static_cast<int>(i)) > width) break;
                }
                if (cut == std::string::npos) {
                    cut = rest.find(' ');
                    if (cut == std::string::npos) {
                        lines.push_back(Line{rest, accel});
                        rest.clear();
                        break;
                    }
                }
                lines.push_back(Line{rest.substr(0, cut), accel < static_cast<int>(cut) ? accel : -1});
                std::size_t next = cut;
                while (next < rest.size() && rest[next] == ' ') ++next;
                accel = accel >= static_cast<int>(next) ? accel - static_cast<int>(next) : -1;
                rest = rest.substr(next);
            }
            if (l.text.empty()) lines.push_back(Line{});
        } else {
            lines.push_back(l);
        }
    }
    if (s.empty()) lines.clear();

    int total = lineH * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int maxW = 0;
        for (auto& l : lines) maxW = std::max(maxW, ruler.Width(l.text));
        if (format & DT_SINGLELINE) total = s.empty() ? 0 : lineH;
        r->right = r->left + maxW;
        r->bottom = r->top + total;
        return total;
    }
    int y = r->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) y = r->top + (r->bottom - r->top - lineH) / 2;
        else if (format & DT_BOTTOM) y = r->bottom - lineH;
    }
    auto bmp = Target(*dc);
    if (bmp) {
        std::optional<std::vector<Band>> savedClip = dc->clip;
        if (!(format & DT_NOCLIP)) {
            Region rr;
            rr.SetRects({RECT{r->left + dc->org.x, r->top + dc->org.y, r->right + dc->org.x, r->bottom + dc->org.y}});
            dc->clip = dc->clip ? Combine(*dc->clip, rr.bands, RGN_AND) : rr.bands;
        }
        COLORREF tc = ResolveColor(*dc, dc->textColor), bc = ResolveColor(*dc, dc->bkColor);
        int ly = y;
        for (auto& l : lines) {
            int w = ruler.Width(l.text);
            int x = r->left;
            if (format & DT_CENTER) x = r->left + (width - w) / 2;
            else if (format & DT_RIGHT) x = r->right - w;
            int dx = x + dc->org.x, dy = ly + dc->org.y;
            if (dc->bkMode == OPAQUE && w > 0) FillDevice(*dc, RECT{dx, dy, dx + w, dy + lineH}, bc);
            DrawRun(*dc, *bmp, face, ruler, lf, dx, dy, l.text.data(), static_cast<int>(l.text.size()), tc, lf.lfUnderline != 0,
                    l.accel, l.accel >= 0 ? l.accel + 1 : -1);
            ly += lineH;
        }
        dc->clip = savedClip;
    }
    return (y - r->top) + total;
}

namespace gdi {
WindowTextPainter SetWindowTextPainter(WindowTextPainter painter) {
    std::lock_guard lk(PainterLock());
    return std::exchange(Painter(), std::move(painter));
}

WindowTextMeasurer SetWindowTextMeasurer(WindowTextMeasurer measurer) {
    std::lock_guard lk(PainterLock());
    return std::exchange(Measurer(), std::move(measurer));
}

std::string ResolveFontFile(const std::string& faceName, bool bold, bool italic) {
    Engine& e = engine();
    std::lock_guard lk(e.mu);
    return Resolve(e, faceName, bold, italic).first;
}
}  // namespace gdi
