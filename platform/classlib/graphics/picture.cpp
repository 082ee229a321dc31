// The picture-format list, the class library's own rows of it, and TPicture.
#include "platform/classlib/graphics.h"

#include <algorithm>
#include <mutex>
#include <utility>

// ---- The picture-format list ---------------------------------------------------------------------
namespace {

struct FormatList {
    std::mutex mu;
    std::vector<TPicture::FileFormat> entries;
};

FormatList& Formats() {
    static FormatList list;
    return list;
}

// The class library's own rows, in the order they are registered.
struct OwnFormat {
    const char* Extension;
    const char* Description;
    TGraphicClass (*Class)();
};
const OwnFormat kOwnFormats[] = {
    {"wmf", "Metafiles", GraphicClassOf<TMetafile>},
    {"emf", "Enhanced Metafiles", GraphicClassOf<TMetafile>},
    {"ico", "Icons", GraphicClassOf<TIcon>},
    {"bmp", "Bitmaps", GraphicClassOf<TBitmap>},
};

}  // namespace

void GraphicsStartup() {
    for (const OwnFormat& f : kOwnFormats) TPicture::RegisterFileFormat(f.Extension, f.Description, f.Class());
}

void GraphicsShutdown() {
    TPicture::UnregisterGraphicClass<TMetafile>();
    TPicture::UnregisterGraphicClass<TIcon>();
    TPicture::UnregisterGraphicClass<TBitmap>();
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  const TGraphicClass& Class) {
    FormatList& f = Formats();
    std::lock_guard lk(f.mu);
    f.entries.push_back({LowerCase(Extension), Description, Class});
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& Class) {
    FormatList& f = Formats();
    std::vector<TPicture::FileFormat> all;
    {
        std::lock_guard lk(f.mu);
        all = f.entries;
    }
    // A row goes when its class is Class or descends from it: an instance of the row's class tells.
    std::vector<std::type_index> gone;
    for (auto& e : all) {
        bool match = e.Class == Class;
        if (!match && e.Class.Create && Class.IsInstance) match = Class.IsInstance(e.Class.Create().get());
        if (match) gone.push_back(e.Class.Type);
    }
    std::lock_guard lk(f.mu);
    std::erase_if(f.entries, [&](const FileFormat& e) {
        return std::find(gone.begin(), gone.end(), e.Class.Type) != gone.end();
    });
}

std::vector<TPicture::FileFormat> TPicture::FileFormats() {
    FormatList& f = Formats();
    std::lock_guard lk(f.mu);
    return f.entries;
}

bool TPicture::FindFileFormat(const std::string& Extension, TGraphicClass* out) {
    FormatList& f = Formats();
    std::string ext = LowerCase(Extension);
    std::lock_guard lk(f.mu);
    for (auto it = f.entries.rbegin(); it != f.entries.rend(); ++it)
        if (it->Extension == ext) {
            if (out) *out = it->Class;
            return true;
        }
    return false;
}

// ---- TPicture ------------------------------------------------------------------------------------
TPicture::TPicture() = default;

TPicture::~TPicture() = default;

void TPicture::Attach(std::unique_ptr<TGraphic> g) {
    if (g) {
        g->OnChange = [this](TObject* s) { GraphicChanged(s); };
        g->OnProgress = [this](TObject* s, TProgressStage st, BYTE pct, bool redraw, const RECT& r, const std::string& msg) {
            if (OnProgress) OnProgress(s, st, pct, redraw, r, msg);
        };
    }
    std::unique_ptr<TGraphic> old = std::exchange(FGraphic, std::move(g));
    old.reset();
    GraphicChanged(this);
}

void TPicture::GraphicChanged(TObject*) {
    if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(TGraphic* g) {
    if (g == FGraphic.get()) return;
    if (!g) {
        Attach(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> n;
    for (const auto& e : FileFormats())
        if (e.Class.Type == std::type_index(typeid(*g))) {
            n = e.Class.Create();
            break;
        }
    if (!n && typeid(*g) == typeid(TBitmap)) n = std::make_unique<TBitmap>();
    if (!n) throw EInvalidGraphic(Format("Cannot assign a %s to a %s", {std::string(g->ClassName()), std::string("TPicture")}));
    n->Assign(g);
    Attach(std::move(n));
}

TBitmap* TPicture::Bitmap() {
    auto* b = dynamic_cast<TBitmap*>(FGraphic.get());
    if (!b) {
        auto made = std::make_unique<TBitmap>();
        b = made.get();
        Attach(std::move(made));
    }
    return b;
}

void TPicture::Assign(TPersistent* Source) {
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    if (auto p = dynamic_cast<TPicture*>(Source)) {
        SetGraphic(p->Graphic());
        return;
    }
    if (auto g = dynamic_cast<TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    TPersistent::Assign(Source);
}

void TPicture::LoadFromFile(const std::string& FileName) {
    std::string ext = ExtractFileExt(FileName);
    if (!ext.empty()) ext = ext.substr(1);
    ext = LowerCase(ext);
    TGraphicClass cls;
    if (!FindFileFormat(ext, &cls)) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", {ext}));
    std::unique_ptr<TGraphic> g = cls.Create();
    g->OnProgress = [this](TObject* s, TProgressStage st, BYTE pct, bool redraw, const RECT& r, const std::string& msg) {
        if (OnProgress) OnProgress(s, st, pct, redraw, r, msg);
    };
    g->LoadFromFile(FileName);
    Attach(std::move(g));
}

void TPicture::SaveToFile(const std::string& FileName) {
    if (FGraphic) FGraphic->SaveToFile(FileName);
}
