// The blocks of a GIF stream after the logical screen: the extension classes (graphic control,
// plain text, comment, application blocks with the looping block), their two registries, the
// extension list in front of each image, the block loop of the frame list and the trailer.
#include <algorithm>
#include <cstring>

#include "imagecodecs/GifPicture.h"

namespace {

// ---- Registries ------------------------------------------------------------------------------------

struct LabelEntry {
    BYTE Label;
    const TGIFExtensionClass* Class;
};
struct IdentifierEntry {
    std::array<BYTE, 11> Identifier;
    const TGIFExtensionClass* Class;
};

std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}
std::unique_ptr<std::vector<LabelEntry>>& LabelRegistry() {
    static std::unique_ptr<std::vector<LabelEntry>> registry;
    return registry;
}
std::unique_ptr<std::vector<IdentifierEntry>>& IdentifierRegistry() {
    static std::unique_ptr<std::vector<IdentifierEntry>> registry;
    return registry;
}

std::array<BYTE, 11> IdentifierOf(const char* text) {
    std::array<BYTE, 11> id{};
    std::memcpy(id.data(), text, 11);
    return id;
}

std::vector<LabelEntry>& Labels() {
    auto& r = LabelRegistry();
    if (!r)
        r = std::make_unique<std::vector<LabelEntry>>(std::vector<LabelEntry>{
            {0x01, &TGIFTextExtension::StaticClass()},
            {0xF9, &TGIFGraphicControlExtension::StaticClass()},
            {0xFE, &TGIFCommentExtension::StaticClass()},
            {0xFF, &TGIFApplicationExtension::StaticClass()},
        });
    return *r;
}

std::vector<IdentifierEntry>& Identifiers() {
    auto& r = IdentifierRegistry();
    if (!r)
        r = std::make_unique<std::vector<IdentifierEntry>>(std::vector<IdentifierEntry>{
            {IdentifierOf("NETSCAPE2.0"), &TGIFAppExtNSLoop::StaticClass()},
            {IdentifierOf("ANIMEXTS1.0"), &TGIFAppExtNSLoop::StaticClass()},
        });
    return *r;
}

const TGIFExtensionClass* SameClass(const TGIFExtensionClass* self, TStream*) { return self; }

// Application blocks choose their class by block size and identifier.
const TGIFExtensionClass* ApplicationSubClass(const TGIFExtensionClass* self, TStream* stream) {
    const std::int64_t start = stream->Position();
    BYTE size = 0;
    if (!TryGetByte(stream, size)) return nullptr;
    BYTE id[11];
    if (size == 10) {
        if (stream->Read(id, 10) != 10) return nullptr;
        return &TGIFUnknownAppExtension::StaticClass();
    }
    if (size == 11 && stream->Read(id, 11) == 11) {
        const TGIFExtensionClass* found = ClassOfIdentifier(id);
        return found ? found : &TGIFUnknownAppExtension::StaticClass();
    }
    // A longer block (12 to 255 bytes, such as a looping block whose size byte was damaged) is
    // nobody's known layout: its identifier is kept, the rest of the block and its sub-blocks are
    // read as unknown application data.
    if (size > 11) return &TGIFUnknownAppExtension::StaticClass();
    stream->SetPosition(start);
    return self;
}

template <class T>
std::unique_ptr<TGIFExtension> Make(TGIFSubImage* frame) {
    return std::make_unique<T>(frame);
}

}  // namespace

void RegisterExtension(BYTE label, const TGIFExtensionClass* cls) {
    std::lock_guard lk(RegistryLock());
    Labels().push_back({label, cls});
}

const TGIFExtensionClass* ClassOfLabel(BYTE label) {
    std::lock_guard lk(RegistryLock());
    const auto& list = Labels();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (it->Label == label) return it->Class;
    return nullptr;
}

void RegisterAppExtension(const std::array<BYTE, 11>& identifier, const TGIFExtensionClass* cls) {
    std::lock_guard lk(RegistryLock());
    Identifiers().push_back({identifier, cls});
}

const TGIFExtensionClass* ClassOfIdentifier(const BYTE* identifier) {
    std::lock_guard lk(RegistryLock());
    const auto& list = Identifiers();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if (std::memcmp(it->Identifier.data(), identifier, 11) == 0) return it->Class;
    return nullptr;
}

void FreeExtensionRegistries() {
    std::lock_guard lk(RegistryLock());
    LabelRegistry().reset();
    IdentifierRegistry().reset();
}

const TGIFExtensionClass* PeekExtensionClass(TStream* stream) {
    const std::int64_t start = stream->Position();
    const TGIFExtensionClass* cls = nullptr;
    BYTE label = 0;
    if (TryGetByte(stream, label)) {
        cls = ClassOfLabel(label);
        const std::int64_t behindLabel = stream->Position();
        // Each try reads from just behind the label.
        while (cls) {
            stream->SetPosition(behindLabel);
            const TGIFExtensionClass* sub = cls->FindSubClass(cls, stream);
            if (sub == cls) break;
            cls = sub;
        }
    }
    stream->SetPosition(start);
    return cls;
}

// ---- The extension base ------------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* frame) : TGIFItem(frame ? frame->OwnerImage : nullptr), Frame(frame) {}

TGIFExtension::~TGIFExtension() {
    if (Frame && Frame->FrameExtensions) Frame->FrameExtensions->Detach(this);
}

void TGIFExtension::LoadFromStream(TStream* stream) {
    BYTE head[2];
    ReadExact(stream, head, 2);
    if (head[0] != 0x21) RaiseGIFError(TGIFMessageId::InvalidExtensionIntroducer);
    if (head[1] != ExtensionLabel()) RaiseGIFError(TGIFMessageId::ExtensionLabelMismatch);
}

void TGIFExtension::SaveToStream(TStream* stream) {
    PutByte(stream, 0x21);
    PutByte(stream, ExtensionLabel());
}

// ---- Graphic control -----------------------------------------------------------------------------------

const TGIFExtensionClass& TGIFGraphicControlExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFGraphicControlExtension", 0xF9, &Make<TGIFGraphicControlExtension>,
                                        &SameClass};
    return cls;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame) {
    if (Frame && !Frame->ControlBlock) Frame->ControlBlock = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (Frame) {
        if (TransparentColorFlag()) Frame->IsTransparent = false;
        if (Frame->ControlBlock == this) Frame->ControlBlock = nullptr;
    }
}

void TGIFGraphicControlExtension::Assign(TPersistent* Source) {
    if (auto* other = dynamic_cast<TGIFGraphicControlExtension*>(Source)) {
        Block = other->Block;
        if (Frame && TransparentColorFlag()) Frame->IsTransparent = true;
        return;
    }
    TGIFExtension::Assign(Source);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream* stream) {
    TGIFExtension::LoadFromStream(stream);
    // The block size byte tells how many bytes follow; a longer block is skipped to its terminator.
    BYTE size = 0;
    if (!TryGetByte(stream, size)) {
        Warn(1, GIFMessage(TGIFMessageId::PrematureEnd));
        return;
    }
    std::array<BYTE, 6> b{size, 0, 0, 0, 0, 0};
    const int want = std::min<int>(size, 4);
    if (stream->Read(b.data() + 1, want) != want) {
        Warn(1, GIFMessage(TGIFMessageId::PrematureEnd));
        return;
    }
    if (size > 4) {
        // Surplus bytes of the block, then any sub-blocks up to the terminator.
        BYTE skip[255];
        if (stream->Read(skip, size - 4) != size - 4 || !SkipSubBlocks(stream)) {
            Warn(1, GIFMessage(TGIFMessageId::PrematureEnd));
            return;
        }
    } else if (!TryGetByte(stream, b[5]) || (b[5] != 0 && !SkipSubBlocks(stream))) {
        // A missing terminator (a short block followed by data) is read through to the next 0.
        Warn(1, GIFMessage(TGIFMessageId::PrematureEnd));
        return;
    }
    b[5] = 0;
    Block = b;
    if (Frame && TransparentColorFlag()) Frame->IsTransparent = true;
}

void TGIFGraphicControlExtension::SaveToStream(TStream* stream) {
    TGIFExtension::SaveToStream(stream);
    // Written as the four-byte block whatever size it was read with.
    std::array<BYTE, 6> b = Block;
    b[0] = 4;
    b[5] = 0;
    stream->WriteBuffer(b.data(), 6);
}

void TGIFGraphicControlExtension::SetTransparentColorFlag(bool on) {
    Block[1] = static_cast<BYTE>(on ? (Block[1] | 1) : (Block[1] & ~1));
    if (Frame) Frame->IsTransparent = on;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
    TGIFColorMap* map = Frame ? Frame->ActiveColors() : nullptr;
    const int count = map ? map->Count() : 0;
    if (index < 0 || index > 255 || (index >= count && count > 0)) {
        Warn(1, GIFMessage(TGIFMessageId::InvalidColorIndex));
        index = 0;
    }
    Block[4] = static_cast<BYTE>(index);
}

void TGIFGraphicControlExtension::SetDelayTime(int units) {
    Block[2] = static_cast<BYTE>(units & 0xFF);
    Block[3] = static_cast<BYTE>((units >> 8) & 0xFF);
}

void TGIFGraphicControlExtension::SetDisposalMethod(int method) {
    Block[1] = static_cast<BYTE>((Block[1] & 0xE3) | ((method * 4) & 0x1C));
}

// ---- Plain text and comment -------------------------------------------------------------------------------

const TGIFExtensionClass& TGIFTextExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFTextExtension", 0x01, &Make<TGIFTextExtension>, &SameClass};
    return cls;
}

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* frame)
    : TGIFExtension(frame), TextLines(std::make_unique<TStringList>()) {}

void TGIFTextExtension::LoadFromStream(TStream* stream) {
    TGIFExtension::LoadFromStream(stream);
    // The block size byte first; a block longer than the 12 header bytes is skipped past them.
    std::array<BYTE, 13> h{};
    h[0] = GetByte(stream);
    const int want = std::min<int>(h[0], 12);
    ReadExact(stream, h.data() + 1, want);
    if (h[0] > 12) {
        BYTE skip[255];
        ReadExact(stream, skip, h[0] - 12);
    }
    TextHeader = h;
    ReadTextBlocks(stream, TextLines.get());
}

void TGIFTextExtension::SaveToStream(TStream* stream) {
    TGIFExtension::SaveToStream(stream);
    std::array<BYTE, 13> h = TextHeader;
    h[0] = 12;
    stream->WriteBuffer(h.data(), 13);
    WriteTextBlocks(stream, TextLines.get());
}

const TGIFExtensionClass& TGIFCommentExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFCommentExtension", 0xFE, &Make<TGIFCommentExtension>, &SameClass};
    return cls;
}

TGIFCommentExtension::TGIFCommentExtension(TGIFSubImage* frame)
    : TGIFExtension(frame), TextLines(std::make_unique<TStringList>()) {}

void TGIFCommentExtension::LoadFromStream(TStream* stream) {
    TGIFExtension::LoadFromStream(stream);
    ReadTextBlocks(stream, TextLines.get());
}

void TGIFCommentExtension::SaveToStream(TStream* stream) {
    TGIFExtension::SaveToStream(stream);
    WriteTextBlocks(stream, TextLines.get());
}

// ---- Application blocks ------------------------------------------------------------------------------------

const TGIFExtensionClass& TGIFApplicationExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFApplicationExtension", 0xFF, &Make<TGIFApplicationExtension>,
                                        &ApplicationSubClass};
    return cls;
}

TGIFApplicationExtension::TGIFApplicationExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFApplicationExtension::SaveAppData(TStream*) { throw Exception("Abstract Error"); }
void TGIFApplicationExtension::LoadAppData(TStream*) { throw Exception("Abstract Error"); }

void TGIFApplicationExtension::LoadFromStream(TStream* stream) {
    TGIFExtension::LoadFromStream(stream);
    const BYTE size = GetByte(stream);
    if (size < 10) RaiseGIFError(TGIFMessageId::BadAppExtensionBlockSize);
    Identifier.fill(0);
    BlockSize = size;
    if (size == 10) {
        // Ten identifier bytes; the eleventh stays 0 and the data starts right after the block.
        ReadExact(stream, Identifier.data(), 10);
    } else {
        ReadExact(stream, Identifier.data(), 11);
        if (size > 11) {
            BYTE skip[255];
            ReadExact(stream, skip, size - 11);
        }
    }
    LoadAppData(stream);
}

void TGIFApplicationExtension::SaveToStream(TStream* stream) {
    TGIFExtension::SaveToStream(stream);
    // A ten-byte block is written back as it was read.
    if (BlockSize == 10) {
        PutByte(stream, 10);
        stream->WriteBuffer(Identifier.data(), 10);
    } else {
        PutByte(stream, 11);
        stream->WriteBuffer(Identifier.data(), 11);
    }
    SaveAppData(stream);
}

void TGIFBlock::SaveBlock(TStream* stream) const {
    PutByte(stream, static_cast<BYTE>(Data.size()));
    if (!Data.empty()) stream->WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
}

void TGIFBlock::LoadBlock(TStream* stream) { ReadExact(stream, Data.data(), static_cast<std::int64_t>(Data.size())); }

const TGIFExtensionClass& TGIFUnknownAppExtension::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFUnknownAppExtension", 0xFF, &Make<TGIFUnknownAppExtension>,
                                        &ApplicationSubClass};
    return cls;
}

void TGIFUnknownAppExtension::LoadAppData(TStream* stream) {
    DataBlocks.clear();
    BYTE size = 0;
    while (TryGetByte(stream, size) && size != 0) {
        TGIFBlock block(size);
        block.LoadBlock(stream);
        DataBlocks.push_back(std::move(block));
    }
}

void TGIFUnknownAppExtension::SaveAppData(TStream* stream) {
    for (const TGIFBlock& b : DataBlocks) b.SaveBlock(stream);
    PutByte(stream, 0);
}

const TGIFExtensionClass& TGIFAppExtNSLoop::StaticClass() {
    static const TGIFExtensionClass cls{"TGIFAppExtNSLoop", 0xFF, &Make<TGIFAppExtNSLoop>, &ApplicationSubClass};
    return cls;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {
    Identifier = IdentifierOf("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::LoadAppData(TStream* stream) {
    BYTE size = 0;
    while (TryGetByte(stream, size) && size != 0) {
        BYTE id = 0;
        if (!TryGetByte(stream, id)) return;
        int rest = size - 1;
        switch (id & 7) {
            case 1: {
                if (size < 3) RaiseGIFError(TGIFMessageId::InvalidData);
                BYTE v[2];
                ReadExact(stream, v, 2);
                LoopCount = static_cast<std::uint16_t>(v[0] | (v[1] << 8));
                rest = size - 3;
                break;
            }
            case 2: {
                if (size < 5) RaiseGIFError(TGIFMessageId::InvalidData);
                BYTE v[4];
                ReadExact(stream, v, 4);
                BufferBytes = static_cast<std::uint32_t>(v[0] | (v[1] << 8) | (v[2] << 16)) |
                              (static_cast<std::uint32_t>(v[3]) << 24);
                rest = size - 5;
                break;
            }
            default:
                break;
        }
        if (rest > 0) {
            BYTE skip[255];
            if (stream->Read(skip, rest) != rest) return;
        }
    }
}

void TGIFAppExtNSLoop::SaveAppData(TStream* stream) {
    const BYTE loop[4] = {3, 1, static_cast<BYTE>(LoopCount & 0xFF), static_cast<BYTE>(LoopCount >> 8)};
    stream->WriteBuffer(loop, 4);
    if (BufferBytes != 0) {
        const BYTE buf[6] = {5,
                             2,
                             static_cast<BYTE>(BufferBytes & 0xFF),
                             static_cast<BYTE>((BufferBytes >> 8) & 0xFF),
                             static_cast<BYTE>((BufferBytes >> 16) & 0xFF),
                             static_cast<BYTE>((BufferBytes >> 24) & 0xFF)};
        stream->WriteBuffer(buf, 6);
    }
    PutByte(stream, 0);
}

// ---- Trailer -------------------------------------------------------------------------------------------------

void TGIFTrailer::SaveToStream(TStream* stream) { PutByte(stream, 0x3B); }

void TGIFTrailer::LoadFromStream(TStream* stream) {
    BYTE b = 0;
    if (TryGetByte(stream, b) && b != 0x3B) Warn(1, GIFMessage(TGIFMessageId::InvalidTrailer));
}

// ---- The extension list ----------------------------------------------------------------------------------------

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* frame)
    : TGIFList(frame ? frame->OwnerImage : nullptr), Frame(frame) {}

void TGIFExtensionList::ReadItems(TStream* stream) {
    BYTE b = 0;
    if (!TryGetByte(stream, b)) return;
    for (;;) {
        // Zero bytes between extensions are skipped.
        while (b == 0)
            if (!TryGetByte(stream, b)) return;
        if (b == ',' || b == ';') break;
        if (b != '!') {
            Warn(1, GIFMessage(TGIFMessageId::InvalidExtensionIntroducer));
            break;
        }
        const TGIFExtensionClass* cls = PeekExtensionClass(stream);
        if (!cls) RaiseGIFError(TGIFMessageId::UnknownExtension);
        stream->Seek(-1, soFromCurrent);
        // Read before it joins the list: one that fails is freed by the unwinding.
        std::unique_ptr<TGIFExtension> ext = cls->Create(Frame);
        ext->LoadFromStream(stream);
        Append(std::move(ext));
        if (!TryGetByte(stream, b)) return;
    }
    stream->Seek(-1, soFromCurrent);
}

// ---- The frame list ------------------------------------------------------------------------------------------

TGIFFrameList::TGIFFrameList(TGIFPicture* image) : TGIFList(image), Image(image) {}

TGIFSubImage* TGIFFrameList::FrameAt(int index) const { return static_cast<TGIFSubImage*>(ItemAt(index)); }

void TGIFFrameList::ReadItems(TStream* stream) {
    auto skipZeros = [stream](BYTE& b) {
        do {
            if (!TryGetByte(stream, b)) return false;
        } while (b == 0);
        return true;
    };
    BYTE b = 0;
    if (!skipZeros(b)) return;
    const std::int64_t size = std::max<std::int64_t>(stream->Size(), 1);
    while (b != ';') {
        stream->Seek(-1, soFromCurrent);
        if (b != '!' && b != ',') {
            Warn(1, GIFMessage(TGIFMessageId::UnknownBlockType));
            return;
        }
        auto frame = std::make_unique<TGIFSubImage>(Image);
        TGIFSubImage* raw = frame.get();
        Append(std::move(frame));
        try {
            raw->LoadFromStream(stream);
        } catch (...) {
            FreeAt(ItemCount() - 1);
            throw;
        }
        if (Image)
            Image->Progress(this, psRunning, static_cast<BYTE>(std::clamp<std::int64_t>(stream->Position() * 100 / size, 0, 100)),
                            false, RECT{}, GIFMessage(TGIFMessageId::Loading));
        if (!skipZeros(b)) return;
    }
    stream->Seek(-1, soFromCurrent);
}

void TGIFFrameList::WriteItems(TStream* stream) {
    const int count = ItemCount();
    for (int i = 0; i < count; ++i) {
        ItemAt(i)->SaveToStream(stream);
        if (Image)
            Image->Progress(this, psRunning, static_cast<BYTE>((i + 1) * 100 / count), false, RECT{},
                            GIFMessage(TGIFMessageId::Saving));
    }
}
