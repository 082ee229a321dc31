// Dorlin's start-up table, main window creation and skin commands.
#include "player/DorlinProgram.h"

#include <map>
#include <utility>

#include "imagecodecs/GifPicture.h"
#include "imagecodecs/PictureReaders.h"
#include "platform/classlib/application.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/jpeg.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/winuser.h"
#include "player/Main.h"
#include "skin/SkinForm.h"

namespace dorlin {

namespace {

struct ModuleStep {
    void (*startup)();
    void (*shutdown)();
};

// The picture modules, in module order: GIF pictures first, then JPEG, then the other readers, whose
// "gif" row is newer and so wins for names loaded through the format list (a skin sends its .gif
// files straight to the GIF picture class). Shut down in the reverse order.
const ModuleStep kModules[] = {
    {GraphicsStartup, GraphicsShutdown},
    {GIFStartup, GIFShutdown},
    {JPEGStartup, JPEGShutdown},
    {PictureReadersStartup, PictureReadersShutdown},
};

std::string Word(std::string& rest) {
    const std::size_t b = rest.find_first_not_of(" \t");
    if (b == std::string::npos) {
        rest.clear();
        return "";
    }
    const std::size_t e = rest.find_first_of(" \t", b);
    std::string w = rest.substr(b, e == std::string::npos ? std::string::npos : e - b);
    rest = e == std::string::npos ? std::string() : rest.substr(e);
    return w;
}

std::map<std::string, std::string>& Shown() {
    static std::map<std::string, std::string> shown;
    return shown;
}

}  // namespace

std::function<void()> ConsoleIdle;

void Startup() {
    for (const auto& m : kModules) m.startup();
}

void Shutdown() {
    for (auto it = std::rbegin(kModules); it != std::rend(kModules); ++it) it->shutdown();
}

void CreateMainForm() { Application->CreateForm(Form1); }

TSkinForm* SkinOf(TCustomForm* form) {
    if (!form) return nullptr;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* s = dynamic_cast<TSkinForm*>(form->Components(i))) return s;
    return nullptr;
}

const char* const kSkinCommandHelp =
    "  skin FORM click|rclick|down|up|hover ID     (a hot area of a skinned window, by identifier)\n"
    "  skin FORM drag ID POSITION                  (a track bar's thumb to 0..100)\n"
    "  skin FORM texts                             (every display's text)\n"
    "  skin FORM wait ID TEXT                      (run until the display shows TEXT, at most 60 s)\n";

bool SkinCommand(const std::string& line) {
    std::string rest = line;
    if (LowerCase(Word(rest)) != "skin") return false;
    TCustomForm* form = headless::FindForm(Word(rest));
    TSkinForm* skin = SkinOf(form);
    if (!skin) throw headless::EScriptError(form->Name() + " has no skin");
    const std::string what = LowerCase(Word(rest));
    const std::string id = Word(rest);
    if (what == "wait") {
        // Lets the message loop run until the display shows the text (at most 60 seconds).
        std::string want = rest;
        const std::size_t b = want.find_first_not_of(" \t");
        want = b == std::string::npos ? std::string() : want.substr(b);
        if (want.size() >= 2 && want.front() == '"' && want.back() == '"') want = want.substr(1, want.size() - 2);
        auto shows = [&] {
            for (const auto& d : skin->Displays())
                if (SameText(d.ID, id)) return d.Text == want;
            throw headless::EScriptError("no display " + id + " in " + form->Name());
        };
        const DWORD start = GetTickCount();
        for (;;) {
            Application->ProcessMessages();
            if (ConsoleIdle) ConsoleIdle();
            if (shows()) return true;
            const DWORD spent = GetTickCount() - start;
            if (spent >= 60000) throw headless::EScriptError(id + " did not show \"" + want + "\"");
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 60000 - spent, QS_ALLINPUT);
        }
    }
    if (what == "texts") {
        for (const auto& d : skin->Displays()) Shown().erase(form->Name() + "." + d.ID);
        return true;
    }
    if (what == "drag") {
        const std::string pos = Word(rest);
        int p = 0;
        if (!TryStrToInt(pos, p) || p < 0 || p > 100) throw headless::EScriptError("drag needs a position 0..100");
        for (const auto& b : skin->TrackBars()) {
            if (!SameText(b.ID, id)) continue;
            const int from = b.ThumbOffset + b.Extent() / 2;
            // The smallest thumb offset that reads back as the position asked for.
            const int travel = b.Travel();
            const int target = travel > 0 ? (p * travel + 99) / 100 : 0;
            const int to = target + b.Extent() / 2;
            const int cx = b.Horizontal ? b.X + from : b.X + b.ThumbWidth / 2;
            const int cy = b.Horizontal ? b.Y + b.ThumbHeight / 2 : b.Y + from;
            const int tx = b.Horizontal ? b.X + to : cx;
            const int ty = b.Horizontal ? cy : b.Y + to;
            headless::MouseMove(form, cx, cy);
            headless::MouseDown(form, cx, cy, mbLeft);
            headless::MouseMove(form, tx, ty, ssLeft);
            headless::MouseUp(form, tx, ty, mbLeft);
            return true;
        }
        throw headless::EScriptError("no track bar " + id + " in " + form->Name());
    }
    const int index = skin->IndexOfHotArea(id);
    if (index < 0) throw headless::EScriptError("no hot area " + id + " in " + form->Name());
    const auto& a = skin->HotAreas()[static_cast<std::size_t>(index)];
    const int x = a.X + a.Width / 2, y = a.Y + a.Height / 2;
    if (what == "click" || what == "rclick") {
        const TMouseButton b = what == "click" ? mbLeft : mbRight;
        headless::MouseMove(form, x, y);
        headless::MouseDown(form, x, y, b);
        headless::MouseUp(form, x, y, b);
    } else if (what == "down") {
        headless::MouseDown(form, x, y, mbLeft);
    } else if (what == "up") {
        headless::MouseUp(form, x, y, mbLeft);
    } else if (what == "hover") {
        headless::MouseMove(form, x, y);
    } else {
        throw headless::EScriptError("skin FORM click|rclick|down|up|hover|drag|texts ...");
    }
    return true;
}

void ReportDisplays(const std::function<void(const std::string&)>& Print) {
    for (int i = 0; i < Application->FormCount(); ++i) {
        TCustomForm* form = Application->Forms(i);
        TSkinForm* skin = form->Showing() ? SkinOf(form) : nullptr;
        if (!skin) continue;
        for (const auto& d : skin->Displays()) {
            const std::string key = form->Name() + "." + d.ID;
            auto it = Shown().find(key);
            if (it != Shown().end() && it->second == d.Text) continue;
            Shown()[key] = d.Text;
            // The terminal gets UTF-8.
            Print(cp1254::ToUtf8("text " + key + " " + headless::QuoteText(d.Text)));
        }
    }
}

}  // namespace dorlin
