// The message texts of the GIF module: every error, warning, description and progress caption it
// raises or shows, in one table. English as stored; GIFMessage(id) gives the text of an entry.
#pragma once

#include <cstddef>

enum class TGIFMessageId : int {
    PrematureEnd,
    BadSignature,
    BadVersion,
    ColorTableOverflow,
    InvalidColorIndex,
    EmptyColorTable,
    BitBufferUnderrun,
    CircularTableEntry,
    UnsupportedPixelFormat,
    InvalidDimensions,
    ImageHasNoDIB,
    DIBAllocationFailed,
    InvalidPixelCoordinates,
    ImageIsEmpty,
    ExceedsLogicalScreen,
    InvalidStreamOperation,
    ColorNotInTable,
    UnknownExtension,
    InvalidExtensionIntroducer,
    InvalidTrailer,
    ExtensionLabelMismatch,
    BadAppExtensionBlockSize,
    UnknownBlockType,
    InvalidData,
    NoColorTable,
    InvalidReductionMethod,
    UnsupportedObjectType,
    HeightTooSmall,
    WidthTooSmall,
    ClipboardFailed,
    FormatDescription,
    Optimizing,
    Loading,
    Saving,
    Converting,
    Rendering,
    Copying,
    BadImageColorCount,
    BadScreenColorCount,
    UnsupportedClipboard,
};

namespace gifmessages {

struct Entry {
    TGIFMessageId Id;
    const char* Text;
};

inline constexpr Entry Table[] = {
    {TGIFMessageId::PrematureEnd, "Premature end of data"},
    {TGIFMessageId::BadSignature, "Invalid GIF signature"},
    {TGIFMessageId::BadVersion, "Unsupported GIF version"},
    {TGIFMessageId::ColorTableOverflow, "Color table overflow"},
    {TGIFMessageId::InvalidColorIndex, "Invalid color index"},
    {TGIFMessageId::EmptyColorTable, "Color table is empty"},
    {TGIFMessageId::BitBufferUnderrun, "Decoder bit buffer under-run"},
    {TGIFMessageId::CircularTableEntry, "Circular decoder table entry"},
    {TGIFMessageId::UnsupportedPixelFormat, "Unsupported PixelFormat"},
    {TGIFMessageId::InvalidDimensions, "Invalid image dimensions"},
    {TGIFMessageId::ImageHasNoDIB, "Image has no DIB"},
    {TGIFMessageId::DIBAllocationFailed, "Failed to allocate memory for GIF DIB"},
    {TGIFMessageId::InvalidPixelCoordinates, "Invalid pixel coordinates"},
    {TGIFMessageId::ImageIsEmpty, "Image is empty"},
    {TGIFMessageId::ExceedsLogicalScreen, "Image exceeds Logical Screen size"},
    {TGIFMessageId::InvalidStreamOperation, "Invalid stream operation"},
    {TGIFMessageId::ColorNotInTable, "Color not in color table"},
    {TGIFMessageId::UnknownExtension, "Unknown extension type"},
    {TGIFMessageId::InvalidExtensionIntroducer, "Invalid extension introducer"},
    {TGIFMessageId::InvalidTrailer, "Invalid Image trailer"},
    {TGIFMessageId::ExtensionLabelMismatch, "Internal error: Extension Instance does not match Extension Label"},
    {TGIFMessageId::BadAppExtensionBlockSize, "Unsupported Application Extension block size"},
    {TGIFMessageId::UnknownBlockType, "Unknown GIF block type"},
    {TGIFMessageId::InvalidData, "Invalid GIF data"},
    {TGIFMessageId::NoColorTable, "No global or local color table defined"},
    {TGIFMessageId::InvalidReductionMethod, "Invalid reduction method"},
    {TGIFMessageId::UnsupportedObjectType, "Object type not supported for operation"},
    {TGIFMessageId::HeightTooSmall, "Image height too small for contained frames"},
    {TGIFMessageId::WidthTooSmall, "Image width too small for contained frames"},
    {TGIFMessageId::ClipboardFailed, "Failed to store GIF on clipboard"},
    {TGIFMessageId::FormatDescription, "GIF Image"},
    {TGIFMessageId::Optimizing, "Optimizing..."},
    {TGIFMessageId::Loading, "Loading..."},
    {TGIFMessageId::Saving, "Saving..."},
    {TGIFMessageId::Converting, "Converting..."},
    {TGIFMessageId::Rendering, "Rendering..."},
    {TGIFMessageId::Copying, "Copying..."},
    {TGIFMessageId::BadImageColorCount, "Invalid number of colors specified in Image Descriptor"},
    {TGIFMessageId::BadScreenColorCount, "Invalid number of colors specified in Screen Descriptor"},
    {TGIFMessageId::UnsupportedClipboard, "Unsupported clipboard format"},
};

constexpr bool InIdOrder() {
    for (std::size_t i = 0; i < std::size(Table); ++i)
        if (static_cast<std::size_t>(Table[i].Id) != i) return false;
    return true;
}
static_assert(InIdOrder(), "the table is indexed by its ids");

}  // namespace gifmessages

constexpr const char* GIFMessage(TGIFMessageId id) { return gifmessages::Table[static_cast<int>(id)].Text; }
