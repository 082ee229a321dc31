// The libgif adapter for extensions (see gif_reference_ext.h).
#include "gif_reference_ext.h"

#include <gif_lib.h>

#include <cstring>

namespace giftest {

namespace {
struct Source {
    const std::string* Bytes;
    std::size_t Pos = 0;
};

int ReadMem(GifFileType* gif, GifByteType* buf, int n) {
    auto* src = static_cast<Source*>(gif->UserData);
    const std::size_t take = std::min<std::size_t>(src->Bytes->size() - src->Pos, static_cast<std::size_t>(n));
    std::memcpy(buf, src->Bytes->data() + src->Pos, take);
    src->Pos += take;
    return static_cast<int>(take);
}
}  // namespace

std::vector<RefControl> RefControls(const std::string& bytes) {
    std::vector<RefControl> out;
    Source src{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&src, ReadMem, &error);
    if (!gif) return out;
    if (DGifSlurp(gif) != GIF_OK) {
        DGifCloseFile(gif, &error);
        return out;
    }
    for (int i = 0; i < gif->ImageCount; ++i) {
        RefControl c;
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            c.Present = true;
            c.Delay = gcb.DelayTime;
            c.Disposal = gcb.DisposalMode;
            c.Transparent = gcb.TransparentColor;
        }
        const SavedImage& s = gif->SavedImages[i];
        for (int k = 0; k < s.ExtensionBlockCount; ++k) {
            const ExtensionBlock& e = s.ExtensionBlocks[k];
            if (e.Function == APPLICATION_EXT_FUNC_CODE && e.ByteCount == 11 &&
                std::memcmp(e.Bytes, "NETSCAPE2.0", 11) == 0 && k + 1 < s.ExtensionBlockCount) {
                const ExtensionBlock& d = s.ExtensionBlocks[k + 1];
                if (d.Function == CONTINUE_EXT_FUNC_CODE && d.ByteCount >= 3 && (d.Bytes[0] & 7) == 1)
                    c.LoopCount = d.Bytes[1] | (d.Bytes[2] << 8);
            }
            if (e.Function == COMMENT_EXT_FUNC_CODE)
                c.Comments.emplace_back(reinterpret_cast<const char*>(e.Bytes), static_cast<std::size_t>(e.ByteCount));
        }
        out.push_back(c);
    }
    DGifCloseFile(gif, &error);
    return out;
}

}  // namespace giftest
