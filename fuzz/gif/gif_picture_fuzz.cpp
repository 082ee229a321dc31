// Fuzz target of whole GIF pictures: the header, the block loop with every extension class, the
// frames and the trailer read from the input; a picture that loads must hold no more than its
// image data can describe, and is written and read again, its still bitmap is made and its frames,
// and those of a copy, are played once by a synchronous painter whose clock never waits.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <string>

#include "imagecodecs/GifPicture.h"
#include "tests/imagecodecs/gif/gif_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static giftest::NoWaitClock clock;
    SetGIFPainterClock(&clock);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TGIFPicture picture;
    picture.OnGIFWarning = [](TObject*, int severity, const std::string&) {
        if (severity != 1) std::abort();
    };
    TStringStream in(bytes);
    try {
        picture.LoadFromStream(&in);
    } catch (const Exception&) {
        // A refused stream leaves the position where the read began.
        if (in.Position() != 0) std::abort();
        return 0;
    }
    // The screen is within the picture cap, and the frames together hold no more than the bytes
    // of their image data can describe: the stream's bytes less the text and application data
    // it was found to hold, which pay for no pixel.
    const std::int64_t screen = static_cast<std::int64_t>(picture.Width()) * picture.Height();
    std::int64_t framePixels = 0, otherBytes = 0;
    for (int i = 0; i < picture.FrameCount(); ++i) {
        TGIFSubImage* frame = picture.Frame(i);
        framePixels += frame->IndexDataSize;
        for (int k = 0; k < frame->FrameExtensions->ItemCount(); ++k) {
            TGIFItem* e = frame->FrameExtensions->ItemAt(k);
            TStringList* lines = nullptr;
            if (auto* c = dynamic_cast<TGIFCommentExtension*>(e)) lines = c->TextLines.get();
            if (auto* t = dynamic_cast<TGIFTextExtension*>(e)) lines = t->TextLines.get();
            for (int l = 0; lines && l < lines->Count(); ++l) otherBytes += static_cast<std::int64_t>(lines->Strings(l).size());
            if (auto* a = dynamic_cast<TGIFUnknownAppExtension*>(e))
                for (const TGIFBlock& b : a->DataBlocks) otherBytes += static_cast<std::int64_t>(b.Data.size());
        }
    }
    if (screen > GIFMaxPixels || framePixels > GIFPixelsFromBytes(static_cast<std::int64_t>(size) - otherBytes)) std::abort();
    // Small pictures only: the work per input stays short.
    std::int64_t pixels = screen;
    for (int i = 0; i < picture.FrameCount(); ++i)
        pixels += static_cast<std::int64_t>(picture.Frame(i)->Width()) * picture.Frame(i)->Height();
    if (pixels > (1 << 18) || picture.FrameCount() > 64) return 0;
    try {
        TStringStream out;
        picture.SaveToStream(&out);
        out.SetPosition(0);
        TGIFPicture again;
        again.LoadFromStream(&out);
        // Blank frames write only their extensions, which the next image takes up again: the
        // images must all come back, with their pixels.
        std::vector<TGIFSubImage*> mine, theirs;
        for (int i = 0; i < picture.FrameCount(); ++i)
            if (!picture.Frame(i)->IsBlank()) mine.push_back(picture.Frame(i));
        for (int i = 0; i < again.FrameCount(); ++i)
            if (!again.Frame(i)->IsBlank()) theirs.push_back(again.Frame(i));
        if (mine.size() != theirs.size()) std::abort();
        for (std::size_t i = 0; i < mine.size(); ++i)
            if (mine[i]->IndexDataSize != theirs[i]->IndexDataSize ||
                std::memcmp(mine[i]->IndexData.get(), theirs[i]->IndexData.get(), static_cast<std::size_t>(mine[i]->IndexDataSize)) != 0)
                std::abort();
    } catch (const Exception&) {
        // Pixels past their colour table cannot be written.
    }
    try {
        if (TBitmap* still = picture.ScreenBitmap()) {
            if (still->Width() != picture.Width() || still->Height() != picture.Height()) std::abort();
        }
        if (!picture.Empty() && picture.Width() > 0 && picture.Height() > 0) {
            TBitmap target;
            target.SetSize(picture.Width(), picture.Height());
            picture.Paint(target.Canvas(), RECT{0, 0, picture.Width(), picture.Height()}, poAnimated | poTransparent);
            // A copy takes the frames' built bitmaps; drawn transparent, it makes their masks.
            TGIFPicture copy;
            copy.Assign(&picture);
            copy.Paint(target.Canvas(), RECT{0, 0, 2 * picture.Width(), picture.Height()}, poAnimated | poTransparent | poTiled);
        }
    } catch (const Exception&) {
        // A picture without any colour table cannot be drawn.
    }
    return 0;
}
