// TSkinForm: the picture control that turns its form into a frameless window drawn from a skin.
//
// A skin is an ini description (see SkinDescription.h for its value syntax and element lines)
// plus the pictures it names, relative to the description's folder:
//   [Version]      Ver=140|150 (default 140)
//   [BITMAPINFO]   MaskBitmap (default "ERROR"), MouseUpBitmap (default: the mask name),
//                  MouseDownBitmap (default: the up name), MouseOnBitmap (default: the down name),
//                  NumbersBitmap, TextBitmap (default: none)
//   [HOTAREAINFO]  Count, 1..Count     [DISPLAYINFO] Count, Charset, 1..Count
//   [TRACKBARINFO] Count, 1..Count
// The mask gives the window its size and shape (pixels in the KeyColor..KeyColor+Tolerance range
// are cut away); the normal face is drawn, pressed and switched-on hot areas come from the pressed
// face, the hovered one from the hover face (unless the skin names the same picture for hover and
// pressed), thumbs and display items on top.
//
// The control owns: the six skin bitmaps, every display font and thumb bitmap. Once handed to the
// window, the region belongs to the window.
//
// Mouse: hot areas, switches, radio groups, track bars (click to jump, drag the thumb), hover,
// hints that follow the element under the pointer, and a left press on no element moves the
// window. The owner hears about it through the four notify events, which carry the element's
// identifier instead of a sender.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/graphics.h"
#include "platform/classlib/hints.h"
#include "platform/classlib/imagectl.h"
#include "platform/classlib/strings.h"
#include "skin/SkinDescription.h"

class TCustomForm;

using THotAreaInfoArray = std::vector<HotAreaInfoRec>;
using TDisplayInfoArray = std::vector<DisplayInfoRec>;
using TTrackBarInfoArray = std::vector<TrackBarInfoRec>;

using TMouseDownNotify = std::function<void(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseUpNotify = TMouseDownNotify;
using TMouseMoveNotify = std::function<void(const std::string& ID, TShiftState Shift, int X, int Y)>;
using TTrackBarNotify = std::function<void(const std::string& ID, int Position)>;

namespace skin {

// Glyph sets of the bitmap fonts.
inline constexpr const char* kDigitGlyphs = "0123456789 ";  // 11 glyphs, the last a blank
inline const std::string kLetterRows[3] = {
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ@\"?*",
    "0123456789 .:<>-'!_+\\/[]^&%,=$",
    "abcdefghijklmnopqrstuvwxyz",
};
// The blank of the letter glyphs: row 1, column 10.
constexpr int kLetterBlankRow = 1;
constexpr int kLetterBlankColumn = 10;

// Where a character of a digit display comes from: its place in the digit set; a character not in
// the set is the blank (glyph 10).
int DigitGlyphIndex(char c);
// Row and column of a character of a letter display (rows searched 0, 1, 2, with regard to case);
// a character in no row is the blank.
void LetterGlyphCell(char c, int& row, int& column);

}  // namespace skin

// Builds the window region of a mask picture: every pixel whose red, green and blue each lie in
// KeyColor..KeyColor+Tolerance (per channel, capped at 255; system colours resolved first) is cut
// away, all others belong to the region. Rows are read once through a 32-bit DIB section copy,
// rectangles are collected per run and handed over in batches of at most 2000. Returns 0 for no
// bitmap or when no device context or DIB section can be made; raises EAssertionFailed when the
// buffer cannot be locked or a region cannot be made. The caller owns the region.
HRGN BuildMaskRegion(TBitmap* Bitmap, TColor KeyColor, TColor Tolerance);

CLASSLIB_EXCEPTION(EAssertionFailed, Exception);
// A skin description this control cannot read ("Unsupported skin version N").
CLASSLIB_EXCEPTION(ESkinError, Exception);

class TSkinForm : public TImage {
public:
    explicit TSkinForm(TComponent* AOwner);
    ~TSkinForm() override;
    const char* ClassName() const override { return "TSkinForm"; }

    // Only a form can hold the control ("Please Drop on a Form"); the form loses its border.
    void SetParent(TWinControl* parent) override;

    // Reads the description and everything it names, sizes, shapes and paints the form, then fires
    // OnSkinChanged. The first failure ends the load and reaches the caller; what was loaded up to
    // then stays. FileName is not stored in SkinFile.
    void LoadSkin(const std::string& FileName);
    // Loads one picture into Bitmap (made first when nullptr): a name whose first extension is GIF
    // takes the GIF path, anything else the picture-format list.
    void LoadSkinBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName);
    void LoadGIFBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName);
    void LoadPictureBitmap(std::unique_ptr<TBitmap>& Bitmap, const std::string& FileName);

    // Sizes the parent and the control to the mask, builds and sets the window region, paints.
    void ApplySkinShape();
    // Draws the whole skin into the control's picture.
    void PaintSkin();
    void DrawNumberText(int X, int Y, const std::string& Text);
    void DrawBitmapText(int X, int Y, const std::string& Text);

    // Operations by element identifier (compared with regard to case; the first match counts).
    void SetButtonDown(const std::string& ID, bool Value);  // repaints when the area exists
    bool GetButtonDown(const std::string& ID) const;
    using TImage::SetText;  // the control's own text
    void SetText(const std::string& ID, const std::string& Text);  // repaints in every case
    std::uint8_t GetTrackBarPos(const std::string& ID) const;
    // Stores Value clamped to 0..100 and repaints; no notify event fires.
    void SetTrackBarPos(const std::string& ID, int Value);
    int IndexOfHotArea(const std::string& ID) const;
    std::string GetHotAreaID(int Index) const;
    // Brings the bar's position into 0..100 and recomputes its thumb offset.
    void ClampTrackBar(TrackBarInfoRec& Bar);
    // Radio-group bookkeeping when hot area Index is pressed.
    void SelectInGroup(int Index);
    // The application's hint handler: a hint of this control takes the Hint the last mouse move
    // set, with an empty cursor rectangle so that the next move looks at it again.
    void SkinShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo);

    const std::string& SkinFile() const { return FSkinFile; }
    void SetSkinFile(const std::string& v) {
        if (!v.empty()) FSkinFile = v;
    }
    std::string SkinEditor() const { return "Run Editor"; }
    void SetSkinEditor(const std::string&) {}
    TColor KeyColor() const { return FKeyColor; }
    void SetKeyColor(TColor c) { FKeyColor = c; }
    TColor Tolerance() const { return FTolerance; }
    void SetTolerance(TColor c) { FTolerance = c; }

    TNotifyEvent OnSkinChanged;
    TMouseDownNotify OnMouseDownNotify;
    TMouseUpNotify OnMouseUpNotify;
    TMouseMoveNotify OnMouseMoveNotify;
    TTrackBarNotify OnTrackBarNotify;

    // Read access for the owner and tests.
    int Version() const { return FVersion; }
    bool HoverEnabled() const { return FHoverEnabled; }
    BYTE DisplayCharset() const { return FCharset; }
    const THotAreaInfoArray& HotAreas() const { return FHotAreas; }
    const TDisplayInfoArray& Displays() const { return FDisplays; }
    const TTrackBarInfoArray& TrackBars() const { return FTrackBars; }
    const TStringList& GroupNames() const { return FGroupNames; }
    const TStringList& GroupSelections() const { return FGroupSelections; }
    TBitmap* MaskBitmap() const { return FMask.get(); }
    TBitmap* UpBitmap() const { return FUp.get(); }
    TBitmap* OnBitmap() const { return FOn.get(); }
    TBitmap* DownBitmap() const { return FDown.get(); }
    TBitmap* NumbersBitmap() const { return FNumbers.get(); }
    TBitmap* TextBitmap() const { return FLetters.get(); }
    HRGN Region() const { return FRegion; }  // the last built (owned by the window once set)
    bool RepaintPending() const { return FRepaintPending; }
    int DraggedTrackBar() const { return FDragIndex; }

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;

    void DoMouseDownNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y);
    void DoMouseUpNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y);
    void DoMouseMoveNotify(const std::string& ID, TShiftState Shift, int X, int Y);
    void DoTrackBarNotify(const std::string& ID, int Position);

private:
    void CopyFromFace(TBitmap* Face, const HotAreaInfoRec& Area);
    void ReadDisplayLine(DisplayInfoRec& Item, const std::string& Line);
    void ReadTrackBarLine(TrackBarInfoRec& Bar, const std::string& Line, const std::string& Folder);
    void FreeElements();

    std::unique_ptr<TBitmap> FMask;
    std::unique_ptr<TBitmap> FUp;
    std::unique_ptr<TBitmap> FOn;
    std::unique_ptr<TBitmap> FDown;
    std::unique_ptr<TBitmap> FNumbers;
    std::unique_ptr<TBitmap> FLetters;
    HRGN FRegion = nullptr;
    TColor FKeyColor = clWhite;
    TColor FTolerance = clBlack;
    THotAreaInfoArray FHotAreas;
    TDisplayInfoArray FDisplays;
    TTrackBarInfoArray FTrackBars;
    bool FHoverEnabled = true;
    BYTE FCharset = 1;
    bool FRepaintPending = true;
    TStringList FGroupNames;
    TStringList FGroupSelections;
    std::string FSkinFile;
    int FVersion = skin::kVersion150;

    std::string FMouseID;
    bool FHotAreaPressed = false;
    bool FDragging = false;
    int FDragIndex = -1;
    int FGrabDistance = 0;
    // The hot area under the pointer at the current and the previous move (-1: none). A change
    // schedules a full repaint, which removes a hover face the pointer has left.
    int FHoverIndex = -1;
    int FWasHoverIndex = -1;
};
