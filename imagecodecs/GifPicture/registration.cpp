// The module's start-up and shutdown: the picture-format row of "gif", the clipboard format, and
// whether the display has a palette.
#include "imagecodecs/GifPicture.h"
#include "platform/classlib/clipboard.h"

namespace {

struct FormatRow {
    const char* Extension;
    TGIFMessageId Description;
};
constexpr FormatRow kRows[] = {{"gif", TGIFMessageId::FormatDescription}};

WORD gClipboardFormat = 0;
bool gDisplayHasPalette = false;
// The thread object the module keeps from start to end: it makes the class library's thread
// window exist for as long as the module runs, so that painters' synchronised calls have a home.
class TDummyThread : public TThread {
public:
    TDummyThread() : TThread(true) {}
    const char* ClassName() const override { return "TDummyThread"; }

protected:
    void Execute() override {}
};
std::unique_ptr<TDummyThread> gDummyThread;

}  // namespace

void GIFStartup() {
    for (const FormatRow& row : kRows) TPicture::RegisterFileFormat<TGIFPicture>(row.Extension, GIFMessage(row.Description));
    gClipboardFormat = static_cast<WORD>(RegisterClipboardFormatA(GIFMessage(TGIFMessageId::FormatDescription)));
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    gDisplayHasPalette = bits <= 8;
    gDummyThread = std::make_unique<TDummyThread>();
}

void GIFShutdown() {
    FreeExtensionRegistries();
    TPicture::UnregisterGraphicClass<TGIFPicture>();
    gClipboardFormat = 0;
    gDummyThread.reset();
}

WORD GIFClipboardFormat() { return gClipboardFormat; }
bool GIFDisplayHasPalette() { return gDisplayHasPalette; }
