// The plain walk over a GIF stream (see gif_walk.h).
#include "gif_walk.h"

namespace giftest {

namespace {
class NoFrame : public TGIFFrameLink {
public:
    TGIFColorMap* ActiveColorMap() override { return nullptr; }
    BYTE* IndexPixels() override { return nullptr; }
    std::int64_t IndexPixelCount() override { return 0; }
    bool HasTransparentIndex() override { return false; }
    BYTE TransparentIndex() override { return 0; }
    void SetTransparentIndex(BYTE) override {}
    void SetFramePalette(HPALETTE) override {}
    void FrameWarning(TObject*, int, const std::string&) override {}
};
}  // namespace

Walk WalkGif(const std::string& bytes, std::int64_t pixelBudget) {
    Walk w;
    RecordingImage image;
    TStringStream stream(bytes);
    const TGIFWarnProc warn = [&](int, const std::string& m) { w.Warnings.push_back(m); };
    try {
        TGIFHeader header(&image);
        header.LoadFromStream(&stream);
        w.ScreenWidth = header.Width();
        w.ScreenHeight = header.Height();
        w.GlobalColors = header.GlobalMap->Count();
        w.Background = header.BackgroundIndex();
        NoFrame frame;
        TGIFLocalColorMap local(&frame);
        BYTE b = 0;
        while (TryGetByte(&stream, b) && b != ';') {
            if (b == 0) continue;
            if (b == '!') {
                GetByte(&stream);
                if (!SkipSubBlocks(&stream)) break;
                continue;
            }
            if (b != ',') {
                w.Warnings.push_back(GIFMessage(TGIFMessageId::UnknownBlockType));
                break;
            }
            BYTE d[9];
            ReadExact(&stream, d, 9);
            Frame f;
            f.Left = d[0] | d[1] << 8;
            f.Top = d[2] | d[3] << 8;
            f.Width = d[4] | d[5] << 8;
            f.Height = d[6] | d[7] << 8;
            f.Interlaced = (d[8] & 0x40) != 0;
            if (d[8] & 0x80) {
                local.ReadTable(&stream, 2 << (d[8] & 7));
                f.LocalColors = local.Count();
            }
            const std::int64_t total = static_cast<std::int64_t>(f.Width) * f.Height;
            if (total > pixelBudget) RaiseGIFError(TGIFMessageId::InvalidDimensions);
            pixelBudget -= total;
            if (total > 0) CheckImageDimensions(f.Width, f.Height);
            f.Pixels.resize(static_cast<std::size_t>(total));
            DecodeGIFPixels(&stream, f.Pixels.data(), f.Width, f.Height, f.Interlaced, 0, warn);
            w.Frames.push_back(std::move(f));
        }
    } catch (const Exception& e) {
        w.Error = e.Message;
    }
    for (const std::string& m : image.Warnings) w.Warnings.push_back(m);
    return w;
}

}  // namespace giftest
