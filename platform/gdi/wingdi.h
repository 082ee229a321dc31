// The small GDI of the platform layer: device contexts, bitmaps and DIB sections, blits, palettes,
// regions, brushes, pens, fonts and text, global memory.
//
// Model. Every GDI object lives in one process-wide handle table; handles are opaque numbers that are
// never reused, and a deleted or unknown handle makes a call fail (FALSE / nullptr / 0, last error
// ERROR_INVALID_HANDLE). All bitmaps are device-independent: a bitmap has a width, a height, a bit
// depth of 1, 4, 8, 16, 24 or 32 and, for 8 bits and fewer, a colour table of RGBQUADs. The "screen"
// is a 32-bit true-colour device of 96 dots per inch without a palette (GetDeviceCaps). A memory DC
// draws into the bitmap selected into it (a new memory DC holds a 1x1 monochrome stock bitmap);
// drawing onto a DC without a real bitmap does nothing. Colour conversion between depths goes
// through RGB (see BitBlt for the monochrome rules).
//
// Pixel memory layout is that of a DIB: rows are padded to 32 bits; CreateDIBSection with a positive
// height keeps rows bottom-up (row 0 in memory is the bottom image row), a negative height top-down.
// 16-bit pixels are 5-5-5 (bit 15 unused) unless bit fields (BI_BITFIELDS) say 5-6-5; 24- and 32-bit
// pixels are blue, green, red(, unused) bytes.
//
// Threads: the handle table is safe from any thread; a single object (a DC, a bitmap) is meant to be
// used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/wintypes.h"

// ---- Handles -------------------------------------------------------------------------------------
struct HGDIOBJ__;
struct HDC__;
struct HBITMAP__;
struct HPALETTE__;
struct HRGN__;
struct HFONT__;
struct HPEN__;
struct HGLOBAL__;
using HGDIOBJ = HGDIOBJ__*;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HPALETTE = HPALETTE__*;
using HRGN = HRGN__*;
using HFONT = HFONT__*;
using HPEN = HPEN__*;
using HGLOBAL = HGLOBAL__*;
// HBRUSH comes from wintypes.h.

// Handles of every GDI type convert to HGDIOBJ and back without a cast at the call site.
template <class H>
inline HGDIOBJ ToGdiObj(H h) { return reinterpret_cast<HGDIOBJ>(h); }

// ---- Colours -------------------------------------------------------------------------------------
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
// 0x01000000 | index: a palette index; 0x02000000 | rgb: palette-relative RGB. Both are resolved
// against the DC's selected palette (the default palette when none).
constexpr COLORREF PALETTEINDEX(WORD i) { return 0x01000000u | i; }
constexpr COLORREF PALETTERGB(BYTE r, BYTE g, BYTE b) { return 0x02000000u | RGB(r, g, b); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

// ---- Structures ----------------------------------------------------------------------------------
#pragma pack(push, 1)
struct BITMAPFILEHEADER {  // 14 bytes at the start of a .bmp file
    WORD bfType = 0;       // "BM" = 0x4D42
    DWORD bfSize = 0;
    WORD bfReserved1 = 0;
    WORD bfReserved2 = 0;
    DWORD bfOffBits = 0;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPCOREHEADER {  // 12 bytes
    DWORD bcSize = 12;
    WORD bcWidth = 0;
    WORD bcHeight = 0;
    WORD bcPlanes = 1;
    WORD bcBitCount = 0;
};

struct BITMAPINFOHEADER {  // 40 bytes
    DWORD biSize = 40;
    LONG biWidth = 0;
    LONG biHeight = 0;  // positive: bottom-up rows; negative: top-down
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

struct RGBTRIPLE {
    BYTE rgbtBlue = 0;
    BYTE rgbtGreen = 0;
    BYTE rgbtRed = 0;
};

// A header followed by its colour table (or, for BI_BITFIELDS, three DWORD masks). Callers allocate
// room for more than one entry and cast, as with the system's own structure.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

// GetObject of a bitmap.
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;  // row stride, a multiple of 4
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;  // the pixels (every bitmap of this GDI has addressable pixels)
};

// GetObject of a DIB section (every bitmap here is one): the BITMAP, the header as created
// (biHeight keeps the sign it was created with) and the three bit-field masks.
struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3] = {0, 0, 0};
    HANDLE dshSection = nullptr;
    DWORD dsOffset = 0;
};

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

// A header followed by palNumEntries entries (allocate room and cast).
struct LOGPALETTE {
    WORD palVersion = 0x300;
    WORD palNumEntries = 0;
    PALETTEENTRY palPalEntry[1];
};

struct RGNDATAHEADER {  // 32 bytes
    DWORD dwSize = 32;
    DWORD iType = 1;  // RDH_RECTANGLES
    DWORD nCount = 0;
    DWORD nRgnSize = 0;
    RECT rcBound;
};
static_assert(sizeof(RGNDATAHEADER) == 32);
constexpr DWORD RDH_RECTANGLES = 1;

// The header followed by nCount RECTs.
struct RGNDATA {
    RGNDATAHEADER rdh;
    char Buffer[1];
};

struct XFORM {
    float eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
};

constexpr int LF_FACESIZE = 32;
struct LOGFONTA {
    LONG lfHeight = 0;  // < 0: character height in pixels (em size); > 0: cell height; 0: default
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 400;  // FW_BOLD (700) and above draw bold
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 1;  // DEFAULT_CHARSET; text is always taken as Windows-1254
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE TURKISH_CHARSET = 162;

struct TEXTMETRICA {
    LONG tmHeight = 0;  // ascent + descent
    LONG tmAscent = 0;
    LONG tmDescent = 0;
    LONG tmInternalLeading = 0;
    LONG tmExternalLeading = 0;
    LONG tmAveCharWidth = 0;
    LONG tmMaxCharWidth = 0;
    LONG tmWeight = 0;
    BYTE tmItalic = 0;
    BYTE tmCharSet = 0;
};

struct LOGBRUSH {
    UINT lbStyle = 0;  // BS_SOLID or BS_NULL
    COLORREF lbColor = 0;
    UINT_PTR lbHatch = 0;
};
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;

struct LOGPEN {
    UINT lopnStyle = 0;
    POINT lopnWidth;
    COLORREF lopnColor = 0;
};
constexpr int PS_SOLID = 0;
constexpr int PS_NULL = 5;

// ---- Device contexts and objects ------------------------------------------------------------------
// A memory DC; `reference` is ignored (every DC is compatible with the 32-bit screen).
HDC CreateCompatibleDC(HDC reference);
BOOL DeleteDC(HDC dc);
// The screen DC (hwnd nullptr) or the DC of a window's backing surface: a 32-bit bitmap of the
// window's client size, kept per window and resized on demand, which the headless render reads
// (gdi::GetWindowSurface). ReleaseDC ends the use.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);

// Selects a bitmap, brush, pen, font or region (a region is copied into the clip region and the
// result is the region's type, as the system does). Returns the previous object of that kind, or
// nullptr on failure. A bitmap can be selected into one DC at a time.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
template <class H>
inline H SelectObjectT(HDC dc, H obj) { return reinterpret_cast<H>(SelectObject(dc, ToGdiObj(obj))); }
// Deletes an object. A stock object or an object selected into a DC is not deleted (FALSE).
BOOL DeleteObject(HGDIOBJ obj);
// Fills BITMAP / DIBSECTION (bitmap), LOGPALETTE's count as a WORD (palette: 2 bytes), LOGBRUSH,
// LOGPEN or LOGFONTA. With out == nullptr returns the size needed. Returns bytes written, 0 on error.
int GetObjectA(HGDIOBJ obj, int size, void* out);
inline int GetObject(HGDIOBJ obj, int size, void* out) { return GetObjectA(obj, size, out); }
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
DWORD GetObjectType(HGDIOBJ obj);
constexpr UINT OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7,
               OBJ_REGION = 8, OBJ_MEMDC = 10;

HGDIOBJ GetStockObject(int which);
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
              NULL_BRUSH = 5, HOLLOW_BRUSH = NULL_BRUSH, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8,
              SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17, DEFAULT_PALETTE = 15;

int GetDeviceCaps(HDC dc, int index);
constexpr int HORZRES = 8, VERTRES = 10, BITSPIXEL = 12, PLANES = 14, NUMCOLORS = 24, RASTERCAPS = 38,
              LOGPIXELSX = 88, LOGPIXELSY = 90, SIZEPALETTE = 104, NUMRESERVED = 106;
constexpr int RC_PALETTE = 0x0100;
// Size of the screen GetDeviceCaps reports for HORZRES/VERTRES.
constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;

// ---- Bitmaps -------------------------------------------------------------------------------------
// A bitmap of the given depth (1, 4, 8, 16, 24, 32; planes must be 1), rows top-down, filled from
// `bits` (rows padded to 16 bits, as the system's device-dependent bitmaps are) or with 0 when bits
// is nullptr. A 1-bit bitmap has the colour table black, white.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
// A 32-bit bitmap (the depth of the screen), rows top-down, black.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A DIB section: depth, bit fields and colour table (biClrUsed entries, or 1 << depth when 0) from
// `info`; *bits receives the pixel memory (zeroed). biCompression BI_RGB or BI_BITFIELDS.
// Width and height 0 give a valid empty bitmap. Fails (nullptr) for bad depths or sizes.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
// Reads rows [start, start + lines) of a bitmap into `bits` in the format `info` asks for (any depth,
// sign of biHeight chooses the row order). With bits nullptr fills in the header (and colour table)
// of the bitmap's own format. Returns the number of lines.
int GetDIBits(HDC dc, HBITMAP bmp, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
// Writes rows of a DIB (any BI_RGB/BI_BITFIELDS depth) into a bitmap, converting colours.
int SetDIBits(HDC dc, HBITMAP bmp, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// Colour table of the DIB section selected into dc (bitmaps of 8 bits and fewer).
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
// Flushes pending drawing (nothing is ever pending here).
BOOL GdiFlush();

// ---- Blits ---------------------------------------------------------------------------------------
// Raster operations: SRCCOPY, SRCAND, SRCPAINT, SRCINVERT, NOTSRCCOPY, plus the pattern fills
// BLACKNESS, WHITENESS, PATCOPY, DSTINVERT of PatBlt. Another code fails with FALSE.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;
// MAKEROP4(fore, back): the pair of raster operations of MaskBlt.
constexpr DWORD MAKEROP4(DWORD fore, DWORD back) { return ((back << 8) & 0xFF000000u) | fore; }

// Copies a rectangle between DCs (the same DC allowed, overlapping areas copy correctly). The target
// is clipped to its bitmap and to the DC's clip region; source pixels outside the source bitmap are
// left out. Between depths colours go through RGB, with these rules of the system: from a 1-bit
// source, 0 bits become the target DC's text colour and 1 bits its background colour; into a 1-bit
// target, pixels equal to the source DC's background colour become 1, all others 0. Into an 8-bit or
// smaller target a colour becomes the nearest entry of its colour table.
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, DWORD rop);
// Scales by nearest pixel (COLORONCOLOR); a negative width or height mirrors.
BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, int scx, int scy, DWORD rop);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;
// Masked copy: where the 1-bit mask (at mx, my) has a 1 bit the foreground rop applies, where it has
// a 0 bit the background rop (MAKEROP4(fore, back)). Supported pairs: each of fore and back is
// SRCCOPY, or 0x00AA0029 (keep the destination). With no mask it is BitBlt with the fore rop.
constexpr DWORD ROP_DSTCOPY = 0x00AA0029;
BOOL MaskBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int sx, int sy, HBITMAP mask, int mx, int my, DWORD rop4);
// Fills with the selected brush (PATCOPY), black, white, or inverts the target.
BOOL PatBlt(HDC dc, int x, int y, int cx, int cy, DWORD rop);
// Draws DIB rows straight from memory, scaled (nearest pixel).
int StretchDIBits(HDC dc, int x, int y, int cx, int cy, int sx, int sy, int scx, int scy, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);

// ---- Pixels, lines, fills ------------------------------------------------------------------------
COLORREF SetPixel(HDC dc, int x, int y, COLORREF c);  // returns the colour set, CLR_INVALID outside
COLORREF GetPixel(HDC dc, int x, int y);              // CLR_INVALID outside the bitmap
BOOL MoveToEx(HDC dc, int x, int y, POINT* old);
BOOL LineTo(HDC dc, int x, int y);  // with the selected pen, the end point left out
BOOL Polyline(HDC dc, const POINT* pts, int count);
// Interior with the brush, outline with the pen; right and bottom edges excluded.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
int FillRect(HDC dc, const RECT* r, HBRUSH brush);
int FrameRect(HDC dc, const RECT* r, HBRUSH brush);  // one-pixel frame
BOOL InvertRect(HDC dc, const RECT* r);
BOOL FillRgn(HDC dc, HRGN rgn, HBRUSH brush);

HBRUSH CreateSolidBrush(COLORREF c);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
HPEN CreatePen(int style, int width, COLORREF c);

// ---- Clipping ------------------------------------------------------------------------------------
// The clip region of a DC (nullptr: none; drawing is then limited by the bitmap only).
int SelectClipRgn(HDC dc, HRGN rgn);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int GetClipBox(HDC dc, RECT* r);  // the clip box, or the bitmap's rectangle without a clip region
// Moves what the DC draws by (x, y) (the window origin of a child control's painting).
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* old);
BOOL GetViewportOrgEx(HDC dc, POINT* out);
// Saves the DC's state (selected objects, colours, modes, clip region, origin, pen position) on its
// stack; RestoreDC(dc, n) goes back to save n (a negative n counts back from the last save).
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);

// ---- Palettes ------------------------------------------------------------------------------------
// A palette copies the entries of `lp` (1 to 256 entries, else nullptr).
HPALETTE CreatePalette(const LOGPALETTE* lp);
UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* out);  // out nullptr: count
UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* in);
BOOL ResizePalette(HPALETTE pal, UINT count);
UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF c);  // least squared distance, lowest index on ties
// Selecting is kept per DC for PALETTEINDEX colours; realising does nothing (a true-colour screen).
HPALETTE SelectPalette(HDC dc, HPALETTE pal, BOOL forceBackground);
UINT RealizePalette(HDC dc);
// The 20 colours of the default palette: 8 dark and 2 pale system colours, then 2 more and 8 bright.
UINT GetSystemPaletteEntries(HDC dc, UINT start, UINT count, PALETTEENTRY* out);

// ---- Regions -------------------------------------------------------------------------------------
// A region is a list of bands sorted from top to bottom, each band a y-range holding sorted, disjoint,
// non-touching x-ranges; equal neighbouring bands are merged, so equal point sets give equal lists.
constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = ERROR;
constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* r);
// Builds a region from an RGNDATA: `count` is the size in bytes of the whole block, which must hold
// the header and rdh.nCount rectangles (else nullptr, ERROR_INVALID_PARAMETER). The rectangles may
// overlap and come in any order; empty ones are ignored; `xform` must be nullptr.
HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data);
// dst := src1 op src2 (RGN_COPY uses src1 only); dst may be one of the sources. Returns the type.
int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
int OffsetRgn(HRGN rgn, int dx, int dy);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* r);
int GetRgnBox(HRGN rgn, RECT* r);  // the type; an empty region gives (0, 0, 0, 0)
BOOL EqualRgn(HRGN a, HRGN b);
// Writes the region as RGNDATA (rectangles band by band, left to right). Returns the bytes needed
// when data is nullptr or size is too small (then nothing is written), else the bytes written.
DWORD GetRegionData(HRGN rgn, DWORD size, RGNDATA* data);

// The window shape. The window takes ownership of `rgn` (nullptr: no shape, the full rectangle) and
// deletes it when replaced or when the window is destroyed; the caller must not use it afterwards.
// Coordinates are relative to the window's top-left corner.
int SetWindowRgn(HWND hwnd, HRGN rgn, BOOL redraw);
// Copies the window's region into `rgn`; returns its type, or ERROR when the window has none.
int GetWindowRgn(HWND hwnd, HRGN rgn);

// ---- Text ----------------------------------------------------------------------------------------
// Fonts are rendered with FreeType through fontconfig, without anti-aliasing (every text pixel has
// the text colour exactly). Face names map to installed families: "Arial" and "MS Sans Serif" and
// the dialog fonts to metric-compatible sans families, "Times New Roman" and "Courier New" to their
// equivalents, "Verdana" and "Tahoma" to DejaVu Sans; an unknown name takes the default sans family.
// Text is Windows-1254 and is turned into Unicode per byte.
HFONT CreateFontIndirectA(const LOGFONTA* lf);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, const char* faceName);
COLORREF SetTextColor(HDC dc, COLORREF c);  // returns the previous one
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF c);
COLORREF GetBkColor(HDC dc);
constexpr int TRANSPARENT = 1, OPAQUE = 2;
int SetBkMode(HDC dc, int mode);  // returns the previous mode; a new DC is OPAQUE, white background
int GetBkMode(HDC dc);
// Draws at (x, y) = the top-left of the text cell (TA_TOP | TA_LEFT). In OPAQUE mode the cell is
// filled with the background colour first.
BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* r, const char* text, UINT length, const INT_PTR* dx);
constexpr UINT ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004;
BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm);
int GetTextFaceA(HDC dc, int size, char* out);

// DrawText: formats text in a rectangle. Supported: DT_LEFT, DT_CENTER, DT_RIGHT, DT_TOP, DT_VCENTER,
// DT_BOTTOM (the last two for DT_SINGLELINE), DT_WORDBREAK, DT_SINGLELINE, DT_EXPANDTABS (tab stops
// every 8 average character widths), DT_NOCLIP, DT_CALCRECT (measures only: the rectangle's right
// and bottom are set to the text's extent, top and left kept; for an empty text the height is 0),
// DT_NOPREFIX ("&" otherwise marks the next character as the accelerator, drawn underlined, and
// "&&" is one "&"). Returns the height of the text, 0 on failure (with DT_VCENTER or DT_BOTTOM the
// offset from the top plus that height).
constexpr UINT DT_TOP = 0x0000, DT_LEFT = 0x0000, DT_CENTER = 0x0001, DT_RIGHT = 0x0002,
               DT_VCENTER = 0x0004, DT_BOTTOM = 0x0008, DT_WORDBREAK = 0x0010, DT_SINGLELINE = 0x0020,
               DT_EXPANDTABS = 0x0040, DT_NOCLIP = 0x0100, DT_CALCRECT = 0x0400, DT_NOPREFIX = 0x0800;
int DrawTextA(HDC dc, const char* text, int length, RECT* r, UINT format);

// ---- Rectangles ----------------------------------------------------------------------------------
// Left and top inside, right and bottom outside.
BOOL SetRect(RECT* r, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* r);
BOOL CopyRect(RECT* dst, const RECT* src);
BOOL IsRectEmpty(const RECT* r);  // right <= left or bottom <= top
BOOL PtInRect(const RECT* r, POINT p);
BOOL OffsetRect(RECT* r, int dx, int dy);
BOOL InflateRect(RECT* r, int dx, int dy);
BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b);  // FALSE and empty when disjoint
BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b);      // empty rectangles are ignored
BOOL EqualRect(const RECT* a, const RECT* b);

// ---- Global memory and arithmetic ----------------------------------------------------------------
// Movable and fixed blocks alike are real heap blocks; GlobalLock returns their address (moveable
// blocks may move on GlobalReAlloc), GlobalUnlock keeps a lock count.
constexpr UINT GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040, GHND = 0x0042,
               GPTR = 0x0040;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags);  // new bytes are zero
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);
HGLOBAL GlobalFree(HGLOBAL mem);  // nullptr on success, the handle on failure

// a * b / c, rounded to the nearest integer (halves away from zero); -1 when c is 0 or the result
// does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// ---- System colours ------------------------------------------------------------------------------
// A fixed table (the classic grey desktop scheme), the same on every machine.
constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
              COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8,
              COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
              COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16,
              COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
              COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24;
constexpr int kSysColorCount = 25;
DWORD GetSysColor(int index);  // 0 for an index outside the table
HBRUSH GetSysColorBrush(int index);  // a stock brush (never deleted)

// ---- Our own extensions --------------------------------------------------------------------------
namespace gdi {

// The bitmap currently selected into a DC (nullptr for none or a stock bitmap).
HBITMAP CurrentBitmap(HDC dc);
// The window's backing surface (a 32-bit bitmap of the client size; created on first use, resized
// when the client size changes, content kept top-left). Owned by the window.
HBITMAP GetWindowSurface(HWND hwnd);
// The region SetWindowRgn gave the window (owned by the window; do not delete), or nullptr.
HRGN WindowRegion(HWND hwnd);
// Number of live GDI objects (for leak checks in tests).
std::size_t LiveObjectCount();
// The installed font file a face name, weight and italic flag resolve to ("" when fontconfig finds none).
std::string ResolveFontFile(const std::string& faceName, bool bold, bool italic);

// A copy of `src` converted to `bitsPerPixel` (1, 4, 8, 16, 24, 32), rows top-down. For 8 bits and
// fewer the colour table is `colors` (count entries; nullptr: a copy of the source's table when it
// has the same depth, else black/white, the 16 standard colours or the 256-colour halftone table),
// and every pixel takes the nearest entry. For 16 bits, `rgb565` picks 5-6-5 over 5-5-5.
HBITMAP ConvertBitmap(HBITMAP src, int bitsPerPixel, const RGBQUAD* colors = nullptr, int count = 0,
                      bool rgb565 = false);
// The halftone colour table of 8-bit conversions: the 20 default-palette colours at 0..9 and
// 246..255, the 216-colour cube (36r + 6g + b, steps of 51) at 10..225, 20 greys at 226..245.
void HalftoneColors(RGBQUAD out[256]);
// Colour of one pixel / store one pixel of a bitmap (x, y from the top-left); no-ops outside.
COLORREF BitmapPixel(HBITMAP bmp, int x, int y);
void SetBitmapPixel(HBITMAP bmp, int x, int y, COLORREF c);
// Rows of a bitmap: address of image row y (0 = top) and the stride; nullptr outside.
BYTE* BitmapRow(HBITMAP bmp, int y);

// One run of text drawn on a window's surface (TextOutA, ExtTextOutA, a line of DrawTextA), in the
// surface's pixels: the cell's top-left, the width and ascent the GDI measures, the pixels of the
// face's em, the font, the colour, the underlined characters [underlineFrom, underlineTo) (the
// whole run when the font is underlined) and the clip's bounding box.
struct WindowText {
    HWND window = nullptr;
    int x = 0, y = 0, width = 0, ascent = 0, em = 0;
    std::string text;  // Windows-1254
    LOGFONTA font{};
    COLORREF color = 0;
    int underlineFrom = -1, underlineTo = -1;
    RECT clip{};
};
// Who draws text runs on windows' surfaces in place of the GDI (a display that draws text with its
// own renderer, at its own scale): it returns true when it takes the run, which the GDI then does
// not draw. It is called with the GDI's font lock held and must not call the GDI's text functions.
// Returns the one it replaces; nullptr for none.
using WindowTextPainter = std::function<bool(const WindowText&)>;
WindowTextPainter SetWindowTextPainter(WindowTextPainter painter);

// One line of text as a painter's renderer lays it out in a font (`em` as in WindowText): its
// width, and the line's ascent (top to baseline) and descent, in the surface's pixels.
struct TextExtent {
    int width = 0, ascent = 0, descent = 0;
};
// How that renderer measures text: every measure of text on DCs of windows and of the screen
// (GetTextExtentPoint32A, GetTextMetricsA, DrawTextA's layout, the runs given to the painter) is
// its, so that what is laid out by the GDI's measures is the size of what the painter draws. An
// empty text gives the font's line. Called with the GDI's font lock held, on the thread that
// draws on the windows; must not call the GDI's text functions. Returns the one it replaces;
// nullptr for none (the faces' own advances).
using WindowTextMeasurer = std::function<TextExtent(const LOGFONTA& font, int em, const std::string& text)>;
WindowTextMeasurer SetWindowTextMeasurer(WindowTextMeasurer measurer);

}  // namespace gdi
