// The items of a GIF stream and their owning lists, and the header item: signature, version,
// logical screen descriptor and global colour table.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "imagecodecs/GifPicture.h"
#include "platform/classlib/lists.h"

// ---- Items -----------------------------------------------------------------------------------------

void TGIFItem::Warn(int severity, const std::string& text) {
    if (OwnerImage) OwnerImage->Warning(this, severity, text);
}

void TGIFItem::WriteFile(const std::string& fileName) {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(&stream);
}

void TGIFItem::ReadFile(const std::string& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    TGIFReadBuffer buffered(&stream);
    LoadFromStream(&buffered);
}

// ---- Lists -----------------------------------------------------------------------------------------

TGIFList::~TGIFList() { FreeAll(); }

void TGIFList::Warn(int severity, const std::string& text) {
    if (OwnerImage) OwnerImage->Warning(this, severity, text);
}

void TGIFList::WriteItems(TStream* stream) {
    for (auto& item : ListItems) item->SaveToStream(stream);
}

void TGIFList::CheckIndex(int index) const {
    if (index < 0 || index >= ItemCount()) TList::Error("List index out of bounds (%d)", index);
}

TGIFItem* TGIFList::ItemAt(int index) const {
    CheckIndex(index);
    return ListItems[static_cast<std::size_t>(index)].get();
}

int TGIFList::Append(std::unique_ptr<TGIFItem> item) {
    ListItems.push_back(std::move(item));
    return ItemCount() - 1;
}

int TGIFList::Detach(TGIFItem* item) {
    auto it = std::find_if(ListItems.begin(), ListItems.end(), [item](const auto& p) { return p.get() == item; });
    if (it == ListItems.end()) return -1;
    const int index = static_cast<int>(it - ListItems.begin());
    (void)it->release();
    ListItems.erase(it);
    return index;
}

std::unique_ptr<TGIFItem> TGIFList::Extract(TGIFItem* item) {
    return Detach(item) >= 0 ? std::unique_ptr<TGIFItem>(item) : nullptr;
}

void TGIFList::FreeAt(int index) {
    CheckIndex(index);
    // Out of the list before it is freed, so that a destructor looking for itself finds nothing.
    std::unique_ptr<TGIFItem> item = std::move(ListItems[static_cast<std::size_t>(index)]);
    ListItems.erase(ListItems.begin() + index);
}

void TGIFList::FreeAll() {
    // All items leave the list at once, so that a destructor looking for itself meets an empty list,
    // then they are freed in list order: linear in the number of items. Items a destructor adds
    // meanwhile go the same way.
    while (!ListItems.empty()) {
        std::vector<std::unique_ptr<TGIFItem>> items;
        items.swap(ListItems);
        for (std::unique_ptr<TGIFItem>& item : items) item.reset();
    }
}

// ---- Header ----------------------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImageLink* image) : TGIFItem(image), GlobalMap(std::make_unique<TGIFGlobalColorMap>(this)) {
    Reset();
}

TGIFHeader::~TGIFHeader() { GlobalMap.reset(); }

void TGIFHeader::Reset() {
    GlobalMap->Reset();
    ScreenDescriptor.fill(0);
}

void TGIFHeader::Assign(TPersistent* Source) {
    if (auto* header = dynamic_cast<TGIFHeader*>(Source)) {
        if (header == this) return;
        GlobalMap->Assign(header->GlobalMap.get());
        ScreenDescriptor = header->ScreenDescriptor;
    } else if (auto* map = dynamic_cast<TGIFColorMap*>(Source)) {
        Reset();
        GlobalMap->Assign(map);
    } else {
        TGIFItem::Assign(Source);
    }
}

TGIFVersion TGIFHeader::RequiredVersion() {
    return GlobalMap->IsSortedByUse() || AspectRatio() != 0 ? gv89a : gv87a;
}

TColor TGIFHeader::BackgroundRGB() { return GlobalMap->ColorAt(BackgroundIndex()); }

void TGIFHeader::SetWidth(int w) {
    ScreenDescriptor[0] = static_cast<BYTE>(w & 0xFF);
    ScreenDescriptor[1] = static_cast<BYTE>((w >> 8) & 0xFF);
}

void TGIFHeader::SetHeight(int h) {
    ScreenDescriptor[2] = static_cast<BYTE>(h & 0xFF);
    ScreenDescriptor[3] = static_cast<BYTE>((h >> 8) & 0xFF);
}

void TGIFHeader::PackFlags() {
    BYTE packed = 0;
    const int resolution = OwnerImage ? OwnerImage->HighestResolution() : std::max(ResolutionBits(), 0);
    packed |= static_cast<BYTE>((resolution << 4) & 0x70);
    if (GlobalMap->Count() > 0) {
        packed |= 0x80;
        if (GlobalMap->IsSortedByUse()) packed |= 0x08;
        // The declared size is the table written: 2 << code = 2^TableBits entries.
        packed |= static_cast<BYTE>((GlobalMap->TableBits() - 1) & 0x07);
    }
    ScreenDescriptor[4] = packed;
}

void TGIFHeader::LoadFromStream(TStream* stream) {
    const std::int64_t start = stream->Position();
    char head[6];
    auto isGif = [&head] {
        for (int i = 0; i < 3; ++i)
            if (std::toupper(static_cast<unsigned char>(head[i])) != "GIF"[i]) return false;
        return true;
    };
    ReadExact(stream, head, 6);
    if (!isGif()) {
        stream->SetPosition(start + 4);
        ReadExact(stream, head, 6);
        if (!isGif()) RaiseGIFError(TGIFMessageId::BadSignature);
    }
    ReadExact(stream, ScreenDescriptor.data(), 7);
    if (Packed() & 0x80)
        GlobalMap->ReadTable(stream, 2 << (Packed() & 7));
    else
        GlobalMap->Reset();
}

void TGIFHeader::SaveToStream(TStream* stream) {
    const TGIFVersion version = OwnerImage ? OwnerImage->FileVersion() : RequiredVersion();
    if (version != gv87a && version != gv89a) RaiseGIFError(TGIFMessageId::BadVersion);
    stream->WriteString(version == gv87a ? "GIF87a" : "GIF89a");
    PackFlags();
    stream->WriteBuffer(ScreenDescriptor.data(), 7);
    if (Packed() & 0x80) GlobalMap->WriteTable(stream);
}
