#include "skin/SkinForm.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "imagecodecs/GifPicture.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/inifiles.h"
#include "platform/gdi/wingdi.h"
#include "platform/win/capture.h"
#include "platform/win/winuser.h"

namespace skin {

int DigitGlyphIndex(char c) {
    const char* p = c ? std::strchr(kDigitGlyphs, c) : nullptr;
    return p ? static_cast<int>(p - kDigitGlyphs) : 10;
}

void LetterGlyphCell(char c, int& row, int& column) {
    for (int r = 0; r < 3; ++r) {
        std::size_t at = kLetterRows[r].find(c);
        if (c != '\0' && at != std::string::npos) {
            row = r;
            column = static_cast<int>(at);
            return;
        }
    }
    row = kLetterBlankRow;
    column = kLetterBlankColumn;
}

}  // namespace skin

namespace {

// The element count of one section. Every element is one line of the section, and only its Count
// line besides, so a count above the section's lines is a fault of the description: it is said
// as such before anything is made for the elements (a missing element line still takes its
// default within that bound).
int ElementCount(TCustomIniFile& Ini, const std::string& FileName, const std::string& Section) {
    const int count = std::max(0, Ini.ReadInteger(Section, "Count", 0));
    if (count == 0) return 0;
    TStringList lines;
    Ini.ReadSection(Section, &lines);
    if (count > lines.Count())
        throw ESkinError(Format("Invalid skin %s: [%s] Count=%d, but the section has %d lines",
                                {FileName, Section, count, lines.Count()}));
    return count;
}

}  // namespace

// ---- Mask to region ------------------------------------------------------------------------------

namespace {

constexpr int kRectGrowth = 100;
constexpr DWORD kFlushCount = 2000;

[[noreturn]] void AssertionFailed(const char* what) {
    throw EAssertionFailed(Format("Assertion failure (%s, unit SkinForm)", {std::string(what)}));
}

// The growable RGNDATA block and the region assembled from its batches.
class RegionBuilder {
public:
    RegionBuilder() {
        FMem = GlobalAlloc(GMEM_MOVEABLE, Bytes());
        if (!FMem) AssertionFailed("region buffer");
        Lock();
        Reset();
    }
    ~RegionBuilder() {
        if (FMem) {
            GlobalUnlock(FMem);
            GlobalFree(FMem);
        }
        if (FResult) DeleteObject(ToGdiObj(FResult));
    }

    void Add(int x0, int y, int x1) {
        if (Header().nCount >= FRoom) {
            GlobalUnlock(FMem);
            FRoom += kRectGrowth;
            HGLOBAL grown = GlobalReAlloc(FMem, Bytes(), GMEM_MOVEABLE);
            if (!grown) AssertionFailed("region buffer");
            FMem = grown;
            Lock();
        }
        RGNDATAHEADER& h = Header();
        Rects()[h.nCount] = RECT{x0, y, x1, y + 1};
        h.rcBound.left = std::min<LONG>(h.rcBound.left, x0);
        h.rcBound.top = std::min<LONG>(h.rcBound.top, y);
        h.rcBound.right = std::max<LONG>(h.rcBound.right, x1);
        h.rcBound.bottom = std::max<LONG>(h.rcBound.bottom, y + 1);
        ++h.nCount;
        if (h.nCount >= kFlushCount) Flush();
    }

    void Flush() {
        HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(Bytes()), reinterpret_cast<const RGNDATA*>(FData));
        if (!part) AssertionFailed("ExtCreateRegion");
        if (!FResult) {
            FResult = part;
        } else {
            CombineRgn(FResult, FResult, part, RGN_OR);
            DeleteObject(ToGdiObj(part));
        }
        Reset();
    }

    HRGN Release() {
        HRGN r = FResult;
        FResult = nullptr;
        return r;
    }

private:
    std::size_t Bytes() const { return sizeof(RGNDATAHEADER) + static_cast<std::size_t>(FRoom) * sizeof(RECT); }
    void Lock() {
        FData = static_cast<BYTE*>(GlobalLock(FMem));
        if (!FData) AssertionFailed("GlobalLock");
    }
    RGNDATAHEADER& Header() { return *reinterpret_cast<RGNDATAHEADER*>(FData); }
    RECT* Rects() { return reinterpret_cast<RECT*>(FData + sizeof(RGNDATAHEADER)); }
    void Reset() {
        RGNDATAHEADER& h = Header();
        h.dwSize = sizeof(RGNDATAHEADER);
        h.iType = RDH_RECTANGLES;
        h.nCount = 0;
        h.nRgnSize = 0;
        h.rcBound = RECT{2147483647, 2147483647, 0, 0};
    }

    HGLOBAL FMem = nullptr;
    BYTE* FData = nullptr;
    DWORD FRoom = kRectGrowth;
    HRGN FResult = nullptr;
};

struct Range {
    int lo, hi;
};

Range ChannelRange(int key, int tol) { return Range{key, std::min(255, key + tol)}; }

}  // namespace

HRGN BuildMaskRegion(TBitmap* Bitmap, TColor KeyColor, TColor Tolerance) {
    if (!Bitmap) return nullptr;
    const int w = Bitmap->Width(), h = Bitmap->Height();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) {
        DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ oldDib = SelectObject(dc, ToGdiObj(dib));
    BITMAP bm{};
    GetObject(ToGdiObj(dib), sizeof(bm), &bm);
    const int stride = (static_cast<int>(bm.bmWidthBytes) + 3) & ~3;

    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ oldSrc = nullptr;
    if (src) {
        HBITMAP srcBmp = Bitmap->Handle();
        if (srcBmp) oldSrc = SelectObject(src, ToGdiObj(srcBmp));
        // A bitmap lives in one DC at a time: one that is drawn on already sits in its canvas.
        HDC from = oldSrc || !srcBmp ? src : Bitmap->Canvas()->Handle();
        BitBlt(dc, 0, 0, w, h, from, 0, 0, SRCCOPY);
    }

    auto cleanup = [&] {
        if (src) {
            if (oldSrc) SelectObject(src, oldSrc);
            DeleteDC(src);
        }
        SelectObject(dc, oldDib);
        DeleteDC(dc);
        DeleteObject(ToGdiObj(dib));
    };

    const TColor key = ColorToRGB(KeyColor), tol = ColorToRGB(Tolerance);
    const Range r = ChannelRange(key & 0xFF, tol & 0xFF);
    const Range g = ChannelRange((key >> 8) & 0xFF, (tol >> 8) & 0xFF);
    const Range b = ChannelRange((key >> 16) & 0xFF, (tol >> 16) & 0xFF);
    auto transparent = [&](const BYTE* px) {
        return px[2] >= r.lo && px[2] <= r.hi && px[1] >= g.lo && px[1] <= g.hi && px[0] >= b.lo && px[0] <= b.hi;
    };

    HRGN result = nullptr;
    try {
        RegionBuilder builder;
        const BYTE* base = static_cast<const BYTE*>(bm.bmBits ? bm.bmBits : bits);
        // Rows are bottom-up in memory: the top image row is the last one.
        for (int y = 0; y < h && base; ++y) {
            const BYTE* row = base + static_cast<std::size_t>(h - 1 - y) * stride;
            int x = 0;
            while (x < w) {
                const int x0 = x;
                while (x < w && !transparent(row + x * 4)) ++x;
                if (x > x0) builder.Add(x0, y, x);
                ++x;  // the transparent pixel that ended the run
            }
        }
        builder.Flush();
        result = builder.Release();
    } catch (...) {
        cleanup();
        throw;
    }
    cleanup();
    return result;
}

// ---- TSkinForm -----------------------------------------------------------------------------------

namespace {

bool Holds(int left, int top, int right, int bottom, int x, int y) {
    RECT rc{left, top, right, bottom};
    return PtInRect(&rc, POINT{x, y});
}

bool HoldsArea(const HotAreaInfoRec& a, int x, int y) { return Holds(a.X, a.Y, a.X + a.Width, a.Y + a.Height, x, y); }

bool HoldsThumb(const TrackBarInfoRec& b, int x, int y) {
    if (b.Horizontal)
        return Holds(b.X + b.ThumbOffset, b.Y, b.X + b.ThumbOffset + b.ThumbWidth, b.Y + b.ThumbHeight, x, y);
    return Holds(b.X, b.Y + b.ThumbOffset, b.X + b.ThumbWidth, b.Y + b.ThumbOffset + b.ThumbHeight, x, y);
}

bool HoldsTrackForClick(const TrackBarInfoRec& b, int x, int y) {
    if (b.Horizontal) return Holds(b.X, b.Y, b.X + b.Length, b.Y + b.ThumbHeight, x, y);
    return Holds(b.X, b.Y, b.X + b.ThumbWidth, b.Y + b.Length - b.ThumbHeight, x, y);
}

bool HoldsTrackForHint(const TrackBarInfoRec& b, int x, int y) {
    if (b.Horizontal) return Holds(b.X, b.Y, b.X + b.Length, b.Y + b.ThumbHeight, x, y);
    return Holds(b.X, b.Y, b.X + b.ThumbWidth, b.Y + b.Length, x, y);
}

// The position of a thumb offset; a bar without travel has only position 0.
int PositionOf(const TrackBarInfoRec& b, int offset) {
    const int travel = b.Travel();
    return travel > 0 ? offset * 100 / travel : 0;
}

}  // namespace

TSkinForm::TSkinForm(TComponent* AOwner)
    : TImage(AOwner),
      FMask(std::make_unique<TBitmap>()),
      FUp(std::make_unique<TBitmap>()),
      FOn(std::make_unique<TBitmap>()),
      FDown(std::make_unique<TBitmap>()),
      FNumbers(std::make_unique<TBitmap>()),
      FLetters(std::make_unique<TBitmap>()) {
    win::InstallWindowModel();
    hints::PushShowHintHandler(this, [this](std::string& HintStr, bool& CanShow, THintInfo& HintInfo) {
        SkinShowHint(HintStr, CanShow, HintInfo);
    });
}

TSkinForm::~TSkinForm() {
    hints::RemoveShowHintHandler(this);
    FreeElements();
}

void TSkinForm::FreeElements() {
    FDisplays.clear();
    FTrackBars.clear();
    FHotAreas.clear();
}

void TSkinForm::SetParent(TWinControl* parent) {
    auto* form = dynamic_cast<TCustomForm*>(parent);
    if (parent && !form) throw Exception("Please Drop on a Form");
    TImage::SetParent(parent);
    if (form) form->BorderStyle = bsNone;
}

// ---- Loading -------------------------------------------------------------------------------------

void TSkinForm::LoadSkinBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName) {
    if (!Bitmap) Bitmap = std::make_unique<TBitmap>();
    if (GetSkinFileExt(FileName) == "GIF")
        LoadGIFBitmap(Bitmap, FileName);
    else
        LoadPictureBitmap(Bitmap, FileName);
}

namespace {

void DrawInto(TBitmap* Bitmap, TGraphic* graphic) {
    Bitmap->SetSize(graphic->Width(), graphic->Height());
    Bitmap->Canvas()->Draw(0, 0, graphic);
}

}  // namespace

void TSkinForm::LoadGIFBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName) {
    if (!Bitmap) Bitmap = std::make_unique<TBitmap>();
    // The GIF picture class reads the file; its still bitmap (the first frame on the logical
    // screen) becomes the skin picture.
    TGIFPicture gif;
    gif.LoadFromFile(FileName);
    Bitmap->SetSize(gif.Width(), gif.Height());
    if (TBitmap* still = gif.ScreenBitmap()) Bitmap->Canvas()->Draw(0, 0, still);
}

void TSkinForm::LoadPictureBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName) {
    if (!Bitmap) Bitmap = std::make_unique<TBitmap>();
    TPicture picture;
    picture.LoadFromFile(FileName);
    if (picture.Graphic())
        DrawInto(Bitmap.get(), picture.Graphic());
    else
        Bitmap->SetSize(0, 0);
}

void TSkinForm::ReadDisplayLine(DisplayInfoRec& Item, const std::string& Line) {
    DisplayLineValues v = ParseDisplayLine(Line);
    auto font = std::make_unique<TFont>();
    font->SetCharset(FCharset);
    font->SetName(v.FontName);
    font->SetStyle((v.Bold ? fsBold : 0) | (v.Italic ? fsItalic : 0));
    font->SetSize(v.Size);
    font->SetColor(v.Color);
    Item.Font = std::move(font);
    Item.ID = v.ID;
    Item.X = v.X;
    Item.Y = v.Y;
    if (v.HasStyle) Item.Style = v.Style;
    Item.Text = v.Text;
}

void TSkinForm::ReadTrackBarLine(TrackBarInfoRec& Bar, const std::string& Line, const std::string& Folder) {
    TrackBarLineValues v = ParseTrackBarLine(Line);
    Bar.ID = v.ID;
    LoadSkinBitmap(Bar.Thumb, Folder + v.ThumbName);
    LoadSkinBitmap(Bar.DragThumb, Folder + v.DragThumbName);
    Bar.X = v.X;
    Bar.Y = v.Y;
    Bar.Length = v.Length;
    Bar.Horizontal = v.Horizontal;
    Bar.Hint = v.Hint;
    Bar.ThumbWidth = Bar.DragThumb->Width();
    Bar.ThumbHeight = Bar.DragThumb->Height();
    Bar.Min = skin::kTrackBarMin;
    Bar.Max = skin::kTrackBarMax;
    Bar.Position = static_cast<std::uint8_t>(v.Position);
    Bar.ThumbOffset = TrackBarOffset(Bar, Bar.Position);
}

void TSkinForm::LoadSkin(const std::string& FileName) {
    SetAlign(alClient);
    FRegion = nullptr;
    FHoverEnabled = true;
    // Radio groups belong to one skin: a selection left from an earlier skin must never switch
    // off an element of this one.
    FGroupNames.Clear();
    FGroupSelections.Clear();

    // A description that is not there, or of a version this control does not know, is said as
    // such, not as a fault of whatever would be read next.
    if (!FileExists(FileName)) throw EFOpenError(Format("Cannot open file %s", {FileName}));
    TIniFile ini(FileName);
    FVersion = ini.ReadInteger("Version", "Ver", skin::kVersion140);
    if (FVersion != skin::kVersion140 && FVersion != skin::kVersion150)
        throw ESkinError(Format("Unsupported skin version %d", {FVersion}));

    const std::string maskName = ini.ReadString("BITMAPINFO", "MaskBitmap", "ERROR");
    const std::string upName = ini.ReadString("BITMAPINFO", "MouseUpBitmap", maskName);
    const std::string downName = ini.ReadString("BITMAPINFO", "MouseDownBitmap", upName);
    const std::string onName = ini.ReadString("BITMAPINFO", "MouseOnBitmap", downName);
    const std::string numbersName = ini.ReadString("BITMAPINFO", "NumbersBitmap", "");
    const std::string lettersName = ini.ReadString("BITMAPINFO", "TextBitmap", "");
    if (onName == downName) FHoverEnabled = false;
    const std::string folder = ExtractFilePath(FileName);

    const int hotCount = ElementCount(ini, FileName, "HOTAREAINFO");
    FHotAreas.resize(static_cast<std::size_t>(hotCount));
    FHoverIndex = FWasHoverIndex = -1;

    LoadSkinBitmap(FMask, folder + maskName);
    LoadSkinBitmap(FUp, folder + upName);
    LoadSkinBitmap(FOn, folder + onName);
    LoadSkinBitmap(FDown, folder + downName);

    ApplySkinShape();

    if (!numbersName.empty()) LoadSkinBitmap(FNumbers, folder + numbersName);
    if (!lettersName.empty()) LoadSkinBitmap(FLetters, folder + lettersName);

    for (int i = 0; i < hotCount; ++i) {
        std::string line = ini.ReadString("HOTAREAINFO", IntToStr(i + 1), skin::kDefaultHotAreaLine);
        ParseHotAreaLine(line, FVersion, i, FHotAreas[static_cast<std::size_t>(i)], FGroupNames, FGroupSelections);
    }

    const int displayCount = ElementCount(ini, FileName, "DISPLAYINFO");
    FCharset = static_cast<BYTE>(ini.ReadInteger("DISPLAYINFO", "Charset", 1));
    FDisplays.resize(static_cast<std::size_t>(displayCount));
    for (int i = 0; i < displayCount; ++i)
        ReadDisplayLine(FDisplays[static_cast<std::size_t>(i)],
                        ini.ReadString("DISPLAYINFO", IntToStr(i + 1), skin::kDefaultDisplayLine));

    const int barCount = ElementCount(ini, FileName, "TRACKBARINFO");
    FTrackBars.resize(static_cast<std::size_t>(barCount));
    for (int i = 0; i < barCount; ++i)
        ReadTrackBarLine(FTrackBars[static_cast<std::size_t>(i)],
                         ini.ReadString("TRACKBARINFO", IntToStr(i + 1), skin::kDefaultTrackBarLine), folder);

    FDragIndex = -1;
    FDragging = false;
    PaintSkin();
    if (OnSkinChanged) OnSkinChanged(this);
}

// ---- Shape and painting --------------------------------------------------------------------------

void TSkinForm::ApplySkinShape() {
    const int w = FMask->Width(), h = FMask->Height();
    auto* form = dynamic_cast<TCustomForm*>(Parent());
    if (form) {
        form->SetWidth(w);
        form->SetHeight(h);
        form->SetClientWidth(w);
        form->SetClientHeight(h);
    }
    Picture()->SetGraphic(nullptr);
    SetWidth(w);
    SetHeight(h);
    HRGN rgn = BuildMaskRegion(FMask.get(), FKeyColor, FTolerance);
    FRegion = rgn;
    if (form && form->Handle()) {
        SetWindowRgn(form->Handle(), rgn, TRUE);
    } else if (rgn) {
        // No window to hand it to.
        DeleteObject(ToGdiObj(rgn));
        FRegion = nullptr;
    }
    PaintSkin();
}

void TSkinForm::CopyFromFace(TBitmap* Face, const HotAreaInfoRec& Area) {
    if (!Face) return;
    RECT rc = Rect(Area.X, Area.Y, Area.X + Area.Width, Area.Y + Area.Height);
    Canvas()->CopyRect(rc, Face->Canvas(), rc);
}

void TSkinForm::PaintSkin() {
    TCanvas* canvas = Canvas();
    canvas->Draw(0, 0, FUp.get());
    for (const auto& a : FHotAreas)
        if ((a.IsSwitch && a.State) || a.Pressed) CopyFromFace(FDown.get(), a);
    for (std::size_t i = 0; i < FTrackBars.size(); ++i) {
        const TrackBarInfoRec& b = FTrackBars[i];
        TBitmap* thumb = (static_cast<int>(i) == FDragIndex ? b.DragThumb : b.Thumb).get();
        if (b.Horizontal)
            canvas->Draw(b.X + b.ThumbOffset, b.Y, thumb);
        else
            canvas->Draw(b.X, b.Y + b.ThumbOffset, thumb);
    }
    for (const auto& d : FDisplays) {
        if (d.Style == "Number") {
            DrawNumberText(d.X, d.Y, d.Text);
        } else if (d.Style == "Text") {
            DrawBitmapText(d.X, d.Y, d.Text);
        } else if (d.Font && !d.Text.empty()) {
            canvas->SetFont(d.Font.get());
            const TBrushStyle old = canvas->Brush()->Style();
            canvas->Brush()->SetStyle(TBrushStyle::bsClear);
            canvas->TextOut(d.X, d.Y, d.Text);
            canvas->Brush()->SetStyle(old);
        }
    }
    FRepaintPending = false;
}

void TSkinForm::DrawNumberText(int X, int Y, const std::string& Text) {
    const int w = FNumbers->Width() / 11, h = FNumbers->Height();
    if (w <= 0 || h <= 0) return;
    TCanvas* canvas = Canvas();
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const int g = skin::DigitGlyphIndex(Text[i]);
        const int x = X + static_cast<int>(i) * w;
        canvas->CopyRect(Rect(x, Y, x + w, Y + h), FNumbers->Canvas(), Rect(g * w, 0, (g + 1) * w, h));
    }
}

void TSkinForm::DrawBitmapText(int X, int Y, const std::string& Text) {
    const int w = FLetters->Width() / 30, rh = FLetters->Height() / 3;
    if (w <= 0 || rh <= 0) return;
    TCanvas* canvas = Canvas();
    for (std::size_t i = 0; i < Text.size(); ++i) {
        int row = 0, column = 0;
        skin::LetterGlyphCell(Text[i], row, column);
        const int x = X + static_cast<int>(i) * w;
        canvas->CopyRect(Rect(x, Y, x + w, Y + rh), FLetters->Canvas(),
                         Rect(column * w, row * rh, (column + 1) * w, (row + 1) * rh));
    }
}

// ---- Operations ----------------------------------------------------------------------------------

void TSkinForm::SetButtonDown(const std::string& ID, bool Value) {
    for (auto& a : FHotAreas) {
        if (a.ID == ID) {
            a.State = Value;
            PaintSkin();
            return;
        }
    }
}

bool TSkinForm::GetButtonDown(const std::string& ID) const {
    for (const auto& a : FHotAreas)
        if (a.ID == ID) return a.State;
    return false;
}

void TSkinForm::SetText(const std::string& ID, const std::string& Text) {
    for (auto& d : FDisplays) {
        if (d.ID == ID) {
            d.Text = Text;
            break;
        }
    }
    PaintSkin();
}

std::uint8_t TSkinForm::GetTrackBarPos(const std::string& ID) const {
    for (const auto& b : FTrackBars)
        if (b.ID == ID) return b.Position;
    return 0;
}

void TSkinForm::SetTrackBarPos(const std::string& ID, int Value) {
    for (auto& b : FTrackBars) {
        if (b.ID == ID) {
            b.Position = static_cast<std::uint8_t>(std::clamp(Value, skin::kTrackBarMin, skin::kTrackBarMax));
            b.ThumbOffset = TrackBarOffset(b, b.Position);
            PaintSkin();
            return;
        }
    }
}

int TSkinForm::IndexOfHotArea(const std::string& ID) const {
    for (std::size_t i = 0; i < FHotAreas.size(); ++i)
        if (FHotAreas[i].ID == ID) return static_cast<int>(i);
    return -1;
}

std::string TSkinForm::GetHotAreaID(int Index) const {
    if (Index < 0 || Index >= static_cast<int>(FHotAreas.size())) return "";
    return FHotAreas[static_cast<std::size_t>(Index)].ID;
}

void TSkinForm::ClampTrackBar(TrackBarInfoRec& Bar) {
    int p = std::clamp<int>(Bar.Position, Bar.Min, Bar.Max);
    Bar.Position = static_cast<std::uint8_t>(p);
    Bar.ThumbOffset = TrackBarOffset(Bar, p);
}

void TSkinForm::SelectInGroup(int Index) {
    if (Index < 0 || Index >= static_cast<int>(FHotAreas.size())) return;
    const int g = FGroupNames.IndexOf(FHotAreas[static_cast<std::size_t>(Index)].Group);
    if (g < 0) return;
    const int previous = StrToIntDef(FGroupSelections.Get(g), -1);
    FGroupSelections.Put(g, IntToStr(Index));
    if (previous != -1 && previous < static_cast<int>(FHotAreas.size())) {
        SetButtonDown(GetHotAreaID(previous), false);
        CopyFromFace(FUp.get(), FHotAreas[static_cast<std::size_t>(Index)]);
    }
}

void TSkinForm::SkinShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo) {
    (void)CanShow;
    if (HintInfo.HintControl != this) return;
    HintStr = Hint;
    HintInfo.CursorRect = RECT{0, 0, 0, 0};
}

// ---- Mouse ---------------------------------------------------------------------------------------

void TSkinForm::DoMouseDownNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDownNotify) OnMouseDownNotify(ID, Button, Shift, X, Y);
}

void TSkinForm::DoMouseUpNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUpNotify) OnMouseUpNotify(ID, Button, Shift, X, Y);
}

void TSkinForm::DoMouseMoveNotify(const std::string& ID, TShiftState Shift, int X, int Y) {
    if (OnMouseMoveNotify) OnMouseMoveNotify(ID, Shift, X, Y);
}

void TSkinForm::DoTrackBarNotify(const std::string& ID, int Position) {
    if (OnTrackBarNotify) OnTrackBarNotify(ID, Position);
}

void TSkinForm::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FMouseID.clear();
    FHotAreaPressed = false;
    FDragging = false;
    FDragIndex = -1;
    if (Button == mbLeft) {
        for (std::size_t i = 0; i < FHotAreas.size(); ++i) {
            HotAreaInfoRec& a = FHotAreas[i];
            if (!HoldsArea(a, X, Y)) continue;
            CopyFromFace(FDown.get(), a);
            FHotAreaPressed = true;
            a.Pressed = true;
            FMouseID = a.ID;
            if (!a.Group.empty()) SelectInGroup(static_cast<int>(i));
            if (a.IsSwitch) {
                a.State = !a.State;
                CopyFromFace((a.State ? FDown : FUp).get(), a);
            }
            break;
        }
        for (std::size_t j = 0; j < FTrackBars.size(); ++j) {
            TrackBarInfoRec& b = FTrackBars[j];
            const int coord = b.Horizontal ? X : Y;
            const int start = b.Horizontal ? b.X : b.Y;
            if (HoldsThumb(b, X, Y)) {
                FMouseID = b.ID;
                FDragging = true;
                FDragIndex = static_cast<int>(j);
                FGrabDistance = coord - start - b.ThumbOffset;
                break;
            }
            if (HoldsTrackForClick(b, X, Y)) {
                FMouseID = b.ID;
                const int offset = std::clamp(coord - start - b.Extent() / 2, 0, b.Travel());
                b.Position = static_cast<std::uint8_t>(std::clamp(PositionOf(b, offset), 0, 255));
                ClampTrackBar(b);
                DoTrackBarNotify(FMouseID, b.Position);
                PaintSkin();
                break;
            }
        }
        if (!FHotAreaPressed && !FDragging) {
            ReleaseCapture();
            if (auto* form = dynamic_cast<TCustomForm*>(Parent()); form && form->Handle())
                SendMessageA(form->Handle(), WM_SYSCOMMAND, SC_DRAGMOVE, 0);
        }
    }
    DoMouseDownNotify(FMouseID, Button, Shift, X, Y);
}

void TSkinForm::MouseMove(TShiftState Shift, int X, int Y) {
    if (FRepaintPending) PaintSkin();
    Hint.clear();
    FWasHoverIndex = FHoverIndex;
    FMouseID.clear();
    if (FDragging && FDragIndex >= 0 && FDragIndex < static_cast<int>(FTrackBars.size())) {
        TrackBarInfoRec& b = FTrackBars[static_cast<std::size_t>(FDragIndex)];
        const int coord = b.Horizontal ? X : Y;
        const int start = b.Horizontal ? b.X : b.Y;
        if (coord >= start && coord <= start + b.Length) {
            FMouseID = b.ID;
            const int offset = std::clamp(coord - start - FGrabDistance, 0, b.Travel());
            b.Position = static_cast<std::uint8_t>(std::clamp(PositionOf(b, offset), 0, 255));
            ClampTrackBar(b);
            DoTrackBarNotify(FMouseID, b.Position);
            PaintSkin();
        }
    } else if (!FDragging) {
        for (const auto& b : FTrackBars)
            if (HoldsTrackForHint(b, X, Y)) Hint = b.Hint;
    }
    for (std::size_t i = 0; i < FHotAreas.size(); ++i) {
        HotAreaInfoRec& a = FHotAreas[i];
        if (!HoldsArea(a, X, Y)) {
            a.Pressed = false;
            FHoverIndex = -1;
            continue;
        }
        FHoverIndex = static_cast<int>(i);
        FMouseID = a.ID;
        if (FHoverEnabled) CopyFromFace(FOn.get(), a);
        Hint = a.Hint;
        break;
    }
    if (FHoverIndex != FWasHoverIndex) FRepaintPending = true;
    DoMouseMoveNotify(FMouseID, Shift, X, Y);
    TImage::MouseMove(Shift, X, Y);
}

void TSkinForm::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FMouseID.clear();
    FHotAreaPressed = false;
    FDragging = false;
    FDragIndex = -1;
    bool found = false;
    for (auto& a : FHotAreas) {
        // Nothing is held down once the button is up, wherever it was released.
        if (!found && HoldsArea(a, X, Y)) {
            FMouseID = a.ID;
            found = true;
        }
        a.Pressed = false;
    }
    PaintSkin();
    DoMouseUpNotify(FMouseID, Button, Shift, X, Y);
}
