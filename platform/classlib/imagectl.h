// Painting of windowless controls: the canvas of a TGraphicControl, the painting of a form's
// graphic controls into a DC, and TImage, the control that shows a TPicture.
#pragma once

#include <memory>

#include "platform/classlib/controls.h"
#include "platform/classlib/graphics.h"

// The canvas of a graphic control: a TCanvas over the DC it is painted into. Made on first use by
// GraphicControlCanvas and freed with the control.
class TControlCanvas : public TCanvas {
public:
    const char* ClassName() const override { return "TControlCanvas"; }
};

// Gives `c` its canvas (c->Canvas; made once, freed when the control is destroyed) and returns it.
TCanvas* GraphicControlCanvas(TGraphicControl* c);

// Paints one graphic control into `dc`: the DC's origin moves to the control's top-left
// (originX + Left, originY + Top), drawing is clipped to the control's bounds, Canvas->Handle() is
// the DC during Paint and released after, and the canvas takes the control's font before Paint. `originX/Y` is where the parent's client area lies in
// the DC. Nothing for an invisible control.
void PaintGraphicControl(TGraphicControl* c, HDC dc, int originX, int originY);

// Paints every visible graphic control in `parent`'s tree, bottom of the z-order first, children of
// windowed controls after their parent, into `dc` whose (originX, originY) is the parent's client
// top-left. Windowed controls paint nothing here (their backend peers draw them).
void PaintGraphicControls(TWinControl* parent, HDC dc, int originX = 0, int originY = 0);

// Shows a picture. Canvas() is the canvas of the picture's bitmap: with no graphic yet a white
// bitmap of the control's size is made first; with a graphic other than a bitmap it raises
// EInvalidOperation "Can only modify an image if it contains a bitmap". Changes of the picture
// repaint the control (and AutoSize sizes it to the picture).
class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    const char* ClassName() const override { return "TImage"; }

    TPicture* Picture() const { return FPicture.get(); }
    void SetPicture(TPicture* p) { FPicture->Assign(p); }
    TCanvas* Canvas();  // hides TGraphicControl::Canvas, the control's own canvas

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool v);
    bool Center() const { return FCenter; }
    void SetCenter(bool v);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool v);
    // Draws the graphic with its transparency (a bitmap leaves its TransparentColor out).
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v);
    bool IncrementalDisplay = false;
    TProgressEvent OnProgress;

    // Where the picture is drawn in the control: stretched to the client area, centred, or at 0, 0.
    RECT DestRect() const;
    // Paints the control into dc (its top-left at dc's origin); Paint() does the same on Canvas.
    void PaintTo(HDC dc);

protected:
    void Paint() override;

private:
    void PictureChanged(TObject* Sender);
    std::unique_ptr<TPicture> FPicture;
    bool FAutoSize = false, FCenter = false, FStretch = false, FTransparent = false;
    bool FDrawing = false;
};
