// TIcon (icon files through the GDI's icon reader) and TMetafile (metafiles are refused).
#include <new>

#include "platform/classlib/graphics.h"
#include "platform/classlib/graphics/drawing.h"
#include "platform/classlib/graphics/streamdata.h"
#include "platform/gdi/bmpcodec.h"

// ---- TIcon ---------------------------------------------------------------------------------------
TIcon::TIcon() = default;

TIcon::~TIcon() { Clear(); }

void TIcon::Clear() {
    FImage.reset();
    if (FMask) DeleteObject(ToGdiObj(FMask));
    FMask = nullptr;
    FData.clear();
}

int TIcon::Width() const { return FImage ? FImage->Width() : 0; }

int TIcon::Height() const { return FImage ? FImage->Height() : 0; }

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::LoadFromStream(TStream* Stream) {
    const std::int64_t start = Stream->Position();
    const graphics_detail::StreamBytes data = graphics_detail::ReadRest(Stream);
    HBITMAP image = nullptr, mask = nullptr;
    std::string why;
    bool ok = false;
    try {
        ok = gdi::ReadIcon(data.data, data.size, &image, &mask, &why);
    } catch (const std::bad_alloc&) {
        Stream->SetPosition(start);
        throw EOutOfResources("Out of system resources");
    }
    if (!ok) {
        Stream->SetPosition(start);
        throw EInvalidGraphic("Icon image is not valid (" + why + ")");
    }
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetHandle(image);
    Clear();
    FImage = std::move(bitmap);
    FMask = mask;
    FData = data.AsString();
    Changed(this);
}

void TIcon::SaveToStream(TStream* Stream) {
    if (!FData.empty()) Stream->WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

void TIcon::Assign(TPersistent* Source) {
    if (!Source) {
        Clear();
        Changed(this);
        return;
    }
    if (auto icon = dynamic_cast<TIcon*>(Source)) {
        if (icon == this) return;
        TMemoryStream bytes;
        icon->SaveToStream(&bytes);
        bytes.SetPosition(0);
        if (icon->Empty()) {
            Clear();
            Changed(this);
        } else {
            LoadFromStream(&bytes);
        }
        return;
    }
    TGraphic::Assign(Source);
}

void TIcon::Draw(TCanvas* ACanvas, const RECT& R) {
    if (!ACanvas || !FImage || FImage->Empty()) return;
    graphics_detail::DrawMasked(ACanvas->Handle(), R, FImage->Canvas()->Handle(), FImage->Width(), FImage->Height(), FMask);
}

// ---- TMetafile -----------------------------------------------------------------------------------
void TMetafile::LoadFromStream(TStream*) { throw EInvalidGraphic("Metafiles are not supported"); }
