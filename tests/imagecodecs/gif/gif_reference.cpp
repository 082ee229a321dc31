// The libgif reference adapter (see gif_reference.h).
#include "gif_reference.h"

#include "gif_reference_memory.h"

namespace giftest {

namespace {
int WriteMem(GifFileType* gif, const GifByteType* buf, int n) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
    return n;
}
}  // namespace

RefGif RefDecode(const std::string& bytes) {
    RefGif out;
    RefMemorySource src{&bytes};
    int error = 0;
    GifFileType* gif = RefOpenMemory(src, &error);
    if (!gif) {
        out.Error = error ? error : -1;
        return out;
    }
    if (DGifSlurp(gif) != GIF_OK) out.Error = gif->Error ? gif->Error : -1;
    out.Width = gif->SWidth;
    out.Height = gif->SHeight;
    out.GlobalColors = gif->SColorMap ? gif->SColorMap->ColorCount : 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        RefFrame f;
        f.Left = s.ImageDesc.Left;
        f.Top = s.ImageDesc.Top;
        f.Width = s.ImageDesc.Width;
        f.Height = s.ImageDesc.Height;
        f.Interlaced = s.ImageDesc.Interlace;
        f.LocalColors = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap->ColorCount : 0;
        if (s.RasterBits)
            f.Pixels.assign(s.RasterBits, s.RasterBits + static_cast<std::size_t>(f.Width) * f.Height);
        out.Frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &error);
    return out;
}

std::string RefEncode(int width, int height, const std::vector<std::uint8_t>& pixels, int bits, bool interlaced) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteMem, &error);
    if (!gif) return out;
    const int colors = 1 << bits;
    std::vector<GifColorType> map(static_cast<std::size_t>(colors));
    for (int i = 0; i < colors; ++i)
        map[i].Red = map[i].Green = map[i].Blue = static_cast<GifByteType>(i * 255 / std::max(colors - 1, 1));
    gif->SWidth = width;
    gif->SHeight = height;
    gif->SColorResolution = bits;
    gif->SBackGroundColor = 0;
    gif->SColorMap = GifMakeMapObject(colors, map.data());
    SavedImage image{};
    image.ImageDesc.Width = width;
    image.ImageDesc.Height = height;
    image.ImageDesc.Interlace = interlaced;
    image.RasterBits = const_cast<GifByteType*>(pixels.data());
    GifMakeSavedImage(gif, &image);
    EGifSpew(gif);
    return out;
}

}  // namespace giftest
