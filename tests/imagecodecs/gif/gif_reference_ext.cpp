// The libgif adapter for extensions (see gif_reference_ext.h).
#include "gif_reference_ext.h"

#include <cstring>

#include "gif_reference_memory.h"

namespace giftest {

std::vector<RefControl> RefControls(const std::string& bytes) {
    std::vector<RefControl> out;
    RefMemorySource src{&bytes};
    int error = 0;
    GifFileType* gif = RefOpenMemory(src, &error);
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
