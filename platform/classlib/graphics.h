// The class library's graphics: colours, fonts, brushes, pens, canvases, graphics, bitmaps, icons,
// metafiles and pictures with their file-format list. Built on the GDI of platform/gdi/wingdi.h.
// The implementation sits in platform/classlib/graphics/: colours and fonts, canvas, graphic and
// bitmap, icon and metafile, format list and picture.
//
// Ownership: TCanvas owns its Font, Brush and Pen; TBitmap owns its handle, palette and canvas;
// TPicture owns its graphic. Events fire only when assigned. Everything here is for one thread at a
// time (the user-interface thread); the picture-format list alone is safe from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

#include "platform/classlib/components.h"
#include "platform/classlib/streams.h"
#include "platform/classlib/sysutils.h"
#include "platform/gdi/wingdi.h"

CLASSLIB_EXCEPTION(EInvalidGraphic, Exception);
CLASSLIB_EXCEPTION(EInvalidGraphicOperation, Exception);
CLASSLIB_EXCEPTION(EOutOfResources, EOutOfMemory);

// ---- TColor --------------------------------------------------------------------------------------
// A colour: 0x00BBGGRR (red in the low byte, blue in the high byte), or 0x80000000 | COLOR_xxx for
// a system colour resolved from the fixed table of GetSysColor.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = clSilver, clDkGray = clGray;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION), clInactiveCaption = SysColor(COLOR_INACTIVECAPTION),
                 clMenu = SysColor(COLOR_MENU), clWindow = SysColor(COLOR_WINDOW),
                 clWindowFrame = SysColor(COLOR_WINDOWFRAME), clMenuText = SysColor(COLOR_MENUTEXT),
                 clWindowText = SysColor(COLOR_WINDOWTEXT), clCaptionText = SysColor(COLOR_CAPTIONTEXT),
                 clActiveBorder = SysColor(COLOR_ACTIVEBORDER), clInactiveBorder = SysColor(COLOR_INACTIVEBORDER),
                 clAppWorkSpace = SysColor(COLOR_APPWORKSPACE), clHighlight = SysColor(COLOR_HIGHLIGHT),
                 clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT), clBtnFace = SysColor(COLOR_BTNFACE),
                 clBtnShadow = SysColor(COLOR_BTNSHADOW), clGrayText = SysColor(COLOR_GRAYTEXT),
                 clBtnText = SysColor(COLOR_BTNTEXT), clInactiveCaptionText = SysColor(COLOR_INACTIVECAPTIONTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK);

// The RGB value of a colour: a system colour from the fixed table; any other value as it is.
TColor ColorToRGB(TColor color);
// "clRed" style names for the 16 standard colours and the system colours, else "$00BBGGRR".
std::string ColorToString(TColor color);
// Names as above or a number (decimal or "$" hexadecimal); raises EConvertError on anything else.
TColor StringToColor(const std::string& text);

using TGraphicsObjectChange = TNotifyEvent;

// ---- TGraphicsObject, TFont, TPen, TBrush --------------------------------------------------------
class TGraphicsObject : public TPersistent {
public:
    const char* ClassName() const override { return "TGraphicsObject"; }
    TNotifyEvent OnChange;  // any property changed

protected:
    virtual void Changed();
};

// Font styles: a small set of bits.
using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
public:
    TFont();
    ~TFont() override;
    const char* ClassName() const override { return "TFont"; }
    void Assign(TPersistent* Source) override;

    // Defaults: "MS Sans Serif", 8 points, clWindowText, no style, DEFAULT_CHARSET, 96 pixels per inch.
    const std::string& Name() const { return FName; }
    void SetName(const std::string& name);
    // Size in points; Height in pixels as the class library keeps it: -(Size * 96 / 72), rounded.
    int Size() const;
    void SetSize(int points);
    int Height() const { return FHeight; }
    void SetHeight(int pixels);
    TColor Color() const { return FColor; }
    void SetColor(TColor c);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles s);
    BYTE Charset() const { return FCharset; }
    void SetCharset(BYTE cs);
    TFontPitch Pitch() const { return FPitch; }
    void SetPitch(TFontPitch p);
    int PixelsPerInch = 96;

    // The GDI font (made on first use, remade after a change). Owned by the TFont.
    HFONT Handle();

private:
    void Changed() override;
    std::string FName = "MS Sans Serif";
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontStyles FStyle = 0;
    BYTE FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = fpDefault;
    HFONT FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmCopy, pmNot, pmXor };

class TPen : public TGraphicsObject {
public:
    TPen();
    ~TPen() override;
    const char* ClassName() const override { return "TPen"; }
    void Assign(TPersistent* Source) override;
    // Defaults: clBlack, width 1, psSolid, pmCopy. Dashed styles draw solid.
    TColor Color() const { return FColor; }
    void SetColor(TColor c);
    int Width() const { return FWidth; }
    void SetWidth(int w);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle s);
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode m);
    HPEN Handle();

private:
    void Changed() override;
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    HPEN FHandle = nullptr;
};

// Hatched styles fill solid.
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
public:
    TBrush();
    ~TBrush() override;
    const char* ClassName() const override { return "TBrush"; }
    void Assign(TPersistent* Source) override;
    // Defaults: clWhite, bsSolid.
    TColor Color() const { return FColor; }
    void SetColor(TColor c);  // a colour on a clear brush makes it solid
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle s);
    HBRUSH Handle();

private:
    void Changed() override;
    TColor FColor = clWhite;
    TBrushStyle FStyle = bsSolid;
    HBRUSH FHandle = nullptr;
};

// ---- TCanvas -------------------------------------------------------------------------------------
class TGraphic;

// Copy modes are raster operations (cmSrcCopy = SRCCOPY ...).
using TCopyMode = DWORD;
constexpr TCopyMode cmSrcCopy = SRCCOPY, cmSrcAnd = SRCAND, cmSrcPaint = SRCPAINT, cmSrcInvert = SRCINVERT,
                    cmNotSrcCopy = NOTSRCCOPY, cmBlackness = BLACKNESS, cmWhiteness = WHITENESS;

inline RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }
inline RECT Bounds(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }
inline POINT Point(int x, int y) { return POINT{x, y}; }

// A drawing surface over a DC. The font, pen and brush are put into the DC before each operation
// that uses them, but only after they changed, so a mode set on Handle() directly (SetBkMode) holds
// until the brush changes. The brush decides the text background: solid draws the cell in the
// brush colour (OPAQUE), clear leaves it (TRANSPARENT).
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    const char* ClassName() const override { return "TCanvas"; }

    // The DC. A plain TCanvas draws into whatever DC was handed to SetHandle (not owned); derived
    // canvases make their own on first use (CreateHandle).
    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return FHandle != nullptr; }

    TFont* Font() const { return FFont.get(); }
    TBrush* Brush() const { return FBrush.get(); }
    TPen* Pen() const { return FPen.get(); }
    void SetFont(TFont* f) { FFont->Assign(f); }
    void SetBrush(TBrush* b) { FBrush->Assign(b); }
    void SetPen(TPen* p) { FPen->Assign(p); }
    TCopyMode CopyMode = cmSrcCopy;
    POINT PenPos() const { return FPenPos; }
    void SetPenPos(POINT p) { MoveTo(p.x, p.y); }

    // Drawing. Rectangles exclude their right and bottom edges. Every drawing operation calls
    // Changing() before and Changed() after.
    void Draw(int X, int Y, TGraphic* Graphic);                 // nothing for nullptr or an empty graphic
    void StretchDraw(const RECT& R, TGraphic* Graphic);
    void CopyRect(const RECT& Dest, TCanvas* Source, const RECT& SourceRect);  // StretchBlt with CopyMode
    void BrushCopy(const RECT& Dest, class TBitmap* Bitmap, const RECT& Source, TColor TransparentColor);
    void FillRect(const RECT& R);   // with the brush
    void FrameRect(const RECT& R);  // one pixel in the brush colour
    void Rectangle(int X1, int Y1, int X2, int Y2);  // brush inside, pen outline
    void Rectangle(const RECT& R) { Rectangle(R.left, R.top, R.right, R.bottom); }
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void Polyline(const std::vector<POINT>& Points);
    void TextOut(int X, int Y, const std::string& Text);
    // Text clipped to R; OPAQUE brush fills R first.
    void TextRect(const RECT& R, int X, int Y, const std::string& Text);
    SIZE TextExtent(const std::string& Text);
    int TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
    int TextHeight(const std::string& Text) { return TextExtent(Text).cy; }
    TColor Pixel(int X, int Y);  // -1 (CLR_INVALID) outside the surface
    void SetPixel(int X, int Y, TColor Color);
    // The clip box of the DC: the surface's rectangle unless a clip region narrows it.
    RECT ClipRect();

    // Held around drawing from another thread; one thread at a time draws.
    void Lock();
    void Unlock();
    // Puts font, brush and pen into the DC again on the next operation.
    void Refresh();

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    virtual void CreateHandle() {}
    virtual void Changing();
    virtual void Changed();
    // Makes the handle and puts the changed font, brush and pen into the DC.
    void RequireHandle();
    void RequireTools(bool font, bool pen, bool brush);
    // Derived canvases drop their DC (the font, pen and brush are taken out of it first).
    void FreeHandle();

private:
    void PutBackTools();
    HDC FHandle = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TBrush> FBrush;
    std::unique_ptr<TPen> FPen;
    POINT FPenPos{};
    bool FFontValid = false, FPenValid = false, FBrushValid = false;
    HGDIOBJ FOldFont = nullptr, FOldPen = nullptr, FOldBrush = nullptr;
    std::recursive_mutex FLock;
};

// ---- TGraphic ------------------------------------------------------------------------------------
enum TProgressStage { psStarting, psRunning, psEnding };
// Sender, stage, percent done, redraw now, the rectangle to redraw, a message ("Loading..." ...).
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, BYTE PercentDone,
                                          bool RedrawNow, const RECT& R, const std::string& Msg)>;

// The base of every picture class. Derived classes override the virtual operations; the virtual
// constructor of the picture-format list is the default constructor.
class TGraphic : public TPersistent {
public:
    TGraphic();
    ~TGraphic() override;
    const char* ClassName() const override { return "TGraphic"; }

    // Draws the graphic stretched into R on the canvas.
    virtual void Draw(TCanvas* ACanvas, const RECT& R) = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int w) = 0;
    virtual void SetHeight(int h) = 0;
    virtual void LoadFromStream(TStream* Stream) = 0;
    virtual void SaveToStream(TStream* Stream) = 0;
    // A file stream and the stream operation; "Cannot open file %s" when the file cannot be opened
    // (the name as given), the stream operation's errors otherwise.
    virtual void LoadFromFile(const std::string& FileName);
    virtual void SaveToFile(const std::string& FileName);
    // The palette (owned by the graphic; nullptr when none). Setting takes ownership of the handle.
    virtual HPALETTE Palette() { return nullptr; }
    virtual void SetPalette(HPALETTE) {}
    virtual bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool t);
    // Same class and same saved bytes.
    virtual bool Equals(TGraphic* Other);

    bool Modified() const { return FModified; }
    void SetModified(bool m);
    bool PaletteModified() const { return FPaletteModified; }
    void SetPaletteModified(bool m) { FPaletteModified = m; }

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    // Sets Modified and fires OnChange.
    virtual void Changed(TObject* Sender);
    // Fires OnProgress.
    virtual void Progress(TObject* Sender, TProgressStage Stage, BYTE PercentDone, bool RedrawNow,
                          const RECT& R, const std::string& Msg);

protected:
    bool FTransparent = false;

private:
    bool FModified = false;
    bool FPaletteModified = false;
};

// A class of graphics for the picture-format list: how to make one (the virtual constructor) and how
// to tell its instances.
struct TGraphicClass {
    std::type_index Type = typeid(void);
    const char* Name = "";
    std::function<std::unique_ptr<TGraphic>()> Create;
    std::function<bool(const TGraphic*)> IsInstance;  // the object is of this class or a descendant
    bool operator==(const TGraphicClass& o) const { return Type == o.Type; }
};
template <class T>
TGraphicClass GraphicClassOf() {
    TGraphicClass c;
    c.Type = typeid(T);
    c.Name = T().ClassName();
    c.Create = [] { return std::unique_ptr<TGraphic>(std::make_unique<T>()); };
    c.IsInstance = [](const TGraphic* g) { return dynamic_cast<const T*>(g) != nullptr; };
    return c;
}

// ---- TBitmap -------------------------------------------------------------------------------------
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
enum TBitmapHandleType { bmDIB, bmDDB };

class TBitmap;

// The canvas of a bitmap: a memory DC with the bitmap selected, made on first use.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap* owner) : FBitmap(owner) {}
    ~TBitmapCanvas() override;
    const char* ClassName() const override { return "TBitmapCanvas"; }
    void Release();  // deselects the bitmap and frees the DC (the bitmap is about to change)

protected:
    void CreateHandle() override;
    void Changed() override;  // the bitmap changes (OnChange of the bitmap) and then the canvas

private:
    friend class TBitmap;
    TBitmap* FBitmap;
    HBITMAP FOldBitmap = nullptr;
};

// A picture in memory. A new bitmap is empty (0 x 0) and device-dependent (pfDevice, stored as
// 32 bits). Setting PixelFormat converts the pixels (new colour tables: black/white, the 16 standard
// colours, the halftone table of gdi::HalftoneColors, unless a palette was set). Growing the size
// keeps the picture top-left and fills the new area white. Drawing on the canvas fires OnChange.
class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;
    const char* ClassName() const override { return "TBitmap"; }

    void Assign(TPersistent* Source) override;  // a TBitmap (deep copy), nullptr (empty), or the source's AssignTo
    void Draw(TCanvas* ACanvas, const RECT& R) override;
    bool Empty() const override { return FWidth == 0 || FHeight == 0; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int w) override;
    void SetHeight(int h) override;
    void SetSize(int w, int h);
    // Reads a BMP stream (file header first) from the current position; "Bitmap image is not valid"
    // (EInvalidGraphic) for anything else. Writes the BMP of the current pixel format.
    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    HPALETTE Palette() override;
    void SetPalette(HPALETTE pal) override;
    void SetTransparent(bool t) override;

    TBitmapCanvas* Canvas();
    // The GDI bitmap (nullptr when empty); owned by the TBitmap. ReleaseHandle gives it away;
    // SetHandle takes one over (its size and depth become the bitmap's; nullptr empties).
    HBITMAP Handle();
    void SetHandle(HBITMAP h);
    HBITMAP ReleaseHandle();
    bool HandleAllocated() const { return FHandle != nullptr; }
    TBitmapHandleType HandleType() const;
    void SetHandleType(TBitmapHandleType t);  // bmDDB turns the bitmap into pfDevice (32 bits)

    TPixelFormat PixelFormat() const { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat pf);  // pfCustom raises EInvalidGraphic
    int BitsPerPixel() const;              // 1, 4, 8, 16, 24 or 32 (pfDevice and pf32bit: 32)
    bool Monochrome() const;               // 1 bit per pixel
    void SetMonochrome(bool m);            // true: pf1bit; false on a 1-bit bitmap: pfDevice
    // Address of image row Row (0 = top), rows padded to 32 bits. EInvalidGraphicOperation
    // "Scan line index out of range" outside 0..Height-1.
    void* ScanLine(int Row);
    int ScanLineBytes() const;

    // Transparency: with TransparentMode tmAuto the colour is that of the bottom-left pixel, with
    // tmFixed the colour set (setting TransparentColor selects tmFixed; selecting tmAuto forgets it).
    TColor TransparentColor();
    void SetTransparentColor(TColor c);
    TTransparentMode TransparentMode() const { return FTransparentMode; }
    void SetTransparentMode(TTransparentMode m);

    // A monochrome bitmap handle of the same size: 1 where the pixel is TransparentColor (ColorToRGB
    // compared), 0 elsewhere. Owned by the caller.
    HBITMAP CreateMask(TColor transparent);

private:
    friend class TBitmapCanvas;
    void Changed(TObject* Sender) override;
    void NewImage(int w, int h, int bpp, const RGBQUAD* colors, int ncolors);
    void Resize(int w, int h);
    void ReleaseCanvasDC();
    void DropPaletteCache();
    int FWidth = 0, FHeight = 0;
    TPixelFormat FPixelFormat = pfDevice;
    HBITMAP FHandle = nullptr;
    HPALETTE FPalette = nullptr;   // owned; for <= 8 bits it follows the colour table
    bool FPaletteSet = false;      // the palette came from SetPalette (kept through conversions)
    std::unique_ptr<TBitmapCanvas> FCanvas;
    TColor FTransparentColor = clDefault;
    TTransparentMode FTransparentMode = tmAuto;
};

// ---- TIcon, TMetafile ----------------------------------------------------------------------------
// An icon file (.ico): of its images the one with the most pixels (then the most bits) is read, as a
// bitmap of its depth and its AND mask. Drawing copies the pixels whose mask bit is 0 and leaves the
// others; a stretched draw stretches both. The size of an icon is that of the file:
// SetWidth/SetHeight raise EInvalidGraphicOperation "Cannot change the size of an icon". A broken
// file raises EInvalidGraphic "Icon image is not valid (" + the reason + ")", a PNG-compressed image
// among them; SaveToStream writes the bytes that were read.
class TIcon : public TGraphic {
public:
    TIcon();
    ~TIcon() override;
    const char* ClassName() const override { return "TIcon"; }
    void Assign(TPersistent* Source) override;  // a TIcon (copied) or nullptr (empty)
    void Draw(TCanvas* ACanvas, const RECT& R) override;
    bool Empty() const override { return !FImage; }
    int Width() const override;
    int Height() const override;
    void SetWidth(int) override;
    void SetHeight(int) override;
    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    // The image (nullptr when empty); owned by the icon.
    TBitmap* Image() const { return FImage.get(); }
    // The AND mask (1: transparent; nullptr when empty); owned by the icon.
    HBITMAP Mask() const { return FMask; }

private:
    void Clear();
    std::string FData;
    std::unique_ptr<TBitmap> FImage;
    HBITMAP FMask = nullptr;
};

// Metafiles (.wmf, .emf) are not read: LoadFromStream raises EInvalidGraphic "Metafiles are not
// supported"; the class holds the two rows of the picture-format list, so a metafile fails with
// that message rather than as an unknown extension. An empty metafile draws nothing.
class TMetafile : public TGraphic {
public:
    const char* ClassName() const override { return "TMetafile"; }
    void Draw(TCanvas*, const RECT&) override {}
    bool Empty() const override { return true; }
    int Width() const override { return 0; }
    int Height() const override { return 0; }
    void SetWidth(int) override {}
    void SetHeight(int) override {}
    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream*) override {}
};

// ---- TPicture ------------------------------------------------------------------------------------
// Holds one graphic of any registered class.
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;
    const char* ClassName() const override { return "TPicture"; }
    void Assign(TPersistent* Source) override;  // a TPicture, a TGraphic (copied), or nullptr

    TGraphic* Graphic() const { return FGraphic.get(); }
    // A new graphic of the same class takes a copy of g (nullptr clears).
    void SetGraphic(TGraphic* g);
    // The graphic as a bitmap: when it is something else it is replaced by a new empty TBitmap.
    TBitmap* Bitmap();
    void SetBitmap(TBitmap* b) { SetGraphic(b); }
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // Picks the class by the text after the last "." of the name (lower-cased; no "." gives ""),
    // newest registration first: "Unknown picture file extension (.%s)" (EInvalidGraphic) when no
    // class has it. A new object of that class loads the file ("Cannot open file %s" when it cannot
    // be opened); on failure it is freed and the picture keeps its graphic.
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);  // the graphic's own format; nothing when none

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    // The picture-format list (see "Registration" below). Extensions are stored lower-cased,
    // without the dot; a registration appends a row.
    static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                   const TGraphicClass& Class);
    template <class T>
    static void RegisterFileFormat(const std::string& Extension, const std::string& Description) {
        RegisterFileFormat(Extension, Description, GraphicClassOf<T>());
    }
    // Removes every entry whose class is Class or descends from it.
    static void UnregisterGraphicClass(const TGraphicClass& Class);
    template <class T>
    static void UnregisterGraphicClass() { UnregisterGraphicClass(GraphicClassOf<T>()); }
    struct FileFormat {
        std::string Extension;
        std::string Description;
        TGraphicClass Class;
    };
    // Entries in registration order (oldest first).
    static std::vector<FileFormat> FileFormats();
    // The class for an extension (no dot, any case), newest first; nullptr-free: false when none.
    static bool FindFileFormat(const std::string& Extension, TGraphicClass* out);

private:
    void GraphicChanged(TObject* Sender);
    void Attach(std::unique_ptr<TGraphic> g);
    std::unique_ptr<TGraphic> FGraphic;
};

// ---- Registration --------------------------------------------------------------------------------
// The picture-format list is filled explicitly, in module order, by each picture module's start-up;
// nothing registers itself. A program's start calls, in this order:
//   GraphicsStartup()   the class library's own rows: "wmf", "emf" (TMetafile), "ico" (TIcon),
//                       "bmp" (TBitmap)
//   JPEGStartup()       "jpeg", "jpg" (TJPEGImage, platform/classlib/jpeg.h)
//   then each codec module's start-up (the GIF picture class, the picture readers)
// and at its end the matching shutdowns in the reverse order.
//
// A codec module keeps its rows in one table and registers them from it:
//     void GifStartup() { for (const auto& row : kRows) TPicture::RegisterFileFormat<TGIFPicture>(row.ext, row.desc); }
//     void GifShutdown() { TPicture::UnregisterGraphicClass<TGIFPicture>(); }
// RegisterFileFormat(Extension, Description, Class) takes any TGraphicClass, so a class whose
// constructor needs arguments gives its own factory in Class.Create. Lookups (FindFileFormat,
// TPicture::LoadFromFile) run from the latest registration back, so a later module's row wins over
// an earlier one with the same extension, and UnregisterGraphicClass(T) brings the earlier one back.
void GraphicsStartup();
void GraphicsShutdown();
