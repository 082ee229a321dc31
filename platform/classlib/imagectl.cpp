// Painting of graphic controls, and TImage.
#include "platform/classlib/imagectl.h"

namespace {

// Frees a graphic control's canvas together with the control (owned by the control).
class TCanvasHolder : public TComponent {
public:
    TCanvasHolder(TComponent* owner, TCanvas* canvas) : TComponent(owner), FCanvas(canvas) {}
    ~TCanvasHolder() override { delete FCanvas; }
    const char* ClassName() const override { return "TCanvasHolder"; }

private:
    TCanvas* FCanvas;
};

// Reaches the protected Paint of any graphic control.
struct PaintAccess : TGraphicControl {
    static void Run(TGraphicControl* c) { (c->*(&PaintAccess::Paint))(); }
};

}  // namespace

TCanvas* GraphicControlCanvas(TGraphicControl* c) {
    if (!c) return nullptr;
    if (!c->Canvas) {
        auto* canvas = new TControlCanvas;
        new TCanvasHolder(c, canvas);
        c->Canvas = canvas;
    }
    return c->Canvas;
}

void PaintGraphicControl(TGraphicControl* c, HDC dc, int originX, int originY) {
    if (!c || !dc || !c->Visible()) return;
    TCanvas* canvas = GraphicControlCanvas(c);
    int saved = SaveDC(dc);
    POINT org{};
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + originX + c->Left(), org.y + originY + c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    HDC before = canvas->HandleAllocated() ? canvas->Handle() : nullptr;
    canvas->SetHandle(dc);
    canvas->SetFont(c->Font());
    try {
        PaintAccess::Run(c);
    } catch (...) {
        canvas->SetHandle(before);
        RestoreDC(dc, saved);
        throw;
    }
    canvas->SetHandle(before);
    RestoreDC(dc, saved);
}

void PaintGraphicControls(TWinControl* parent, HDC dc, int originX, int originY) {
    if (!parent || !dc) return;
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (!c || !c->Visible()) continue;
        if (auto* g = dynamic_cast<TGraphicControl*>(c)) {
            PaintGraphicControl(g, dc, originX, originY);
        } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
            int saved = SaveDC(dc);
            POINT org{};
            GetViewportOrgEx(dc, &org);
            SetViewportOrgEx(dc, org.x + originX + w->Left(), org.y + originY + w->Top(), nullptr);
            IntersectClipRect(dc, 0, 0, w->Width(), w->Height());
            PaintGraphicControls(w, dc, 0, 0);
            RestoreDC(dc, saved);
        }
    }
}

// ---- TImage ----
TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
    FPicture->OnChange = [this](TObject* s) { PictureChanged(s); };
    FPicture->OnProgress = [this](TObject* s, TProgressStage st, BYTE pct, bool redraw, const RECT& r,
                                  const std::string& msg) {
        if (OnProgress) OnProgress(s, st, pct, redraw, r, msg);
    };
    TGraphicControl::Canvas = new TControlCanvas;
    SetBounds(Left(), Top(), 105, 105);
}

TImage::~TImage() {
    FPicture->OnChange = nullptr;
    FPicture.reset();
    delete TGraphicControl::Canvas;
    TGraphicControl::Canvas = nullptr;
}

TCanvas* TImage::Canvas() {
    if (!FPicture->Graphic()) {
        TBitmap* b = FPicture->Bitmap();
        b->SetSize(Width(), Height());
    }
    auto* b = dynamic_cast<TBitmap*>(FPicture->Graphic());
    if (!b) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
    return b->Canvas();
}

void TImage::SetAutoSize(bool v) {
    if (v == FAutoSize) return;
    FAutoSize = v;
    PictureChanged(this);
}

void TImage::SetCenter(bool v) {
    if (v == FCenter) return;
    FCenter = v;
    Invalidate();
}

void TImage::SetStretch(bool v) {
    if (v == FStretch) return;
    FStretch = v;
    Invalidate();
}

void TImage::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    PictureChanged(this);
}

RECT TImage::DestRect() const {
    int w = FPicture->Width(), h = FPicture->Height();
    if (FStretch) return RECT{0, 0, ClientWidth(), ClientHeight()};
    if (FCenter) {
        int x = (ClientWidth() - w) / 2, y = (ClientHeight() - h) / 2;
        return RECT{x, y, x + w, y + h};
    }
    return RECT{0, 0, w, h};
}

void TImage::Paint() {
    TCanvas* c = TGraphicControl::Canvas;
    TGraphic* g = FPicture->Graphic();
    if (!c || !g || g->Empty()) return;
    c->StretchDraw(DestRect(), g);
}

void TImage::PaintTo(HDC dc) {
    TCanvas* c = TGraphicControl::Canvas;
    if (!c || !dc) return;
    HDC before = c->HandleAllocated() ? c->Handle() : nullptr;
    c->SetHandle(dc);
    try {
        Paint();
    } catch (...) {
        c->SetHandle(before);
        throw;
    }
    c->SetHandle(before);
}

void TImage::PictureChanged(TObject*) {
    if (FDrawing) return;
    FDrawing = true;
    TGraphic* g = FPicture->Graphic();
    if (g && g->Transparent() != FTransparent) g->SetTransparent(FTransparent);
    if (FAutoSize && g && g->Width() > 0 && g->Height() > 0) SetBounds(Left(), Top(), g->Width(), g->Height());
    FDrawing = false;
    Invalidate();
}
