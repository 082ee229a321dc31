// The block structure of whole GIF streams on byte fixtures: zero bytes between blocks, a missing
// trailer, the looping block under both identifiers and with a sub-block id of 9, application
// blocks of size 10 and unknown ones, graphic control blocks of odd sizes, long comments, trailing
// extensions, descriptors of zero size, the file version written, and failed reads.
#include <gtest/gtest.h>

#include "gif_bytes.h"
#include "gif_reference.h"

namespace giftest {
namespace {

std::string Save(TGIFPicture* p) {
    TStringStream s;
    p->SaveToStream(&s);
    return s.DataString();
}

template <class T>
T* FindExtension(TGIFSubImage* f) {
    for (int i = 0; i < f->FrameExtensions->ItemCount(); ++i)
        if (auto* e = dynamic_cast<T*>(f->FrameExtensions->ItemAt(i))) return e;
    return nullptr;
}

TEST(GifBlocks, ZeroBytesBetweenBlocksAndAfterAControlBlockAreSkipped) {
    const auto a = Pattern(5, 4, 4), b = Pattern(5, 4, 4, 1);
    const std::string zeros(3, '\0');
    const std::string gif = GifHeader(5, 4, 2) + Gce(1, 7) + zeros + ImageBlock(0, 0, 5, 4, a, 2) + zeros +
                            Gce(2, 9) + std::string(1, '\0') + ImageBlock(0, 0, 5, 4, b, 2) + zeros + ";";
    Loaded l = Load(gif);
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(l.Warnings.empty()) << l.Warnings.front();
    ASSERT_EQ(l.Picture->FrameCount(), 2);
    EXPECT_EQ(FramePixels(l.Picture->Frame(0)), a);
    EXPECT_EQ(FramePixels(l.Picture->Frame(1)), b);
    ASSERT_NE(l.Picture->Frame(1)->ControlBlock, nullptr);
    EXPECT_EQ(l.Picture->Frame(0)->ControlBlock->DelayTime(), 7);
    EXPECT_EQ(l.Picture->Frame(1)->ControlBlock->DelayTime(), 9);
    EXPECT_EQ(l.Picture->Frame(1)->ControlBlock->DisposalMethod(), 2);
    // Written back without the zero bytes, and the C library reads it whole.
    const std::string out = Save(l.Picture.get());
    EXPECT_EQ(out, GifHeader(5, 4, 2) + Gce(1, 7) + ImageBlock(0, 0, 5, 4, a, 2) + Gce(2, 9) +
                       ImageBlock(0, 0, 5, 4, b, 2) + ";");
    EXPECT_EQ(RefDecode(out).Error, 0);
}

TEST(GifBlocks, AStreamEndingAfterAFrameLoadsItWithoutAWord) {
    const auto a = Pattern(6, 3, 4);
    Loaded l = Load(GifHeader(6, 3, 2) + ImageBlock(0, 0, 6, 3, a, 2));
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(l.Warnings.empty());
    ASSERT_EQ(l.Picture->FrameCount(), 1);
    EXPECT_EQ(FramePixels(l.Picture->Frame(0)), a);
    // A wrong trailer byte only warns.
    Loaded bad = Load(GifHeader(6, 3, 2) + ImageBlock(0, 0, 6, 3, a, 2) + "!");
    EXPECT_EQ(bad.Picture->FrameCount(), 1);
}

TEST(GifBlocks, LoopingBlocksUnderBothIdentifiersAndSubBlockIdNine) {
    const auto a = Pattern(3, 3, 4);
    struct Case {
        std::string Block;
        int Count;
        std::string Written;  // the bytes written back
    };
    const Case cases[] = {
        {LoopBlock(5), 5, LoopBlock(5)},
        {LoopBlock(3, "ANIMEXTS1.0"), 3, LoopBlock(3, "ANIMEXTS1.0")},
        {LoopBlock(260, "NETSCAPE2.0", 9), 260, LoopBlock(260)},
    };
    for (const Case& c : cases) {
        Loaded l = Load(GifHeader(3, 3, 2) + c.Block + ImageBlock(0, 0, 3, 3, a, 2) + ";");
        ASSERT_EQ(l.Error, "");
        auto* loop = FindExtension<TGIFAppExtNSLoop>(l.Picture->Frame(0));
        ASSERT_NE(loop, nullptr);
        EXPECT_EQ(loop->LoopCount, c.Count);
        const std::string out = Save(l.Picture.get());
        EXPECT_NE(out.find(c.Written), std::string::npos);
    }
    // A buffer size sub-block is read and written; without one only the loop sub-block is written.
    const std::string withBuffer = std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x02\x00\x05\x02\x10\x20\x00\x00", 24) +
                                   std::string(1, '\0');
    Loaded l = Load(GifHeader(3, 3, 2) + withBuffer + ImageBlock(0, 0, 3, 3, a, 2) + ";");
    auto* loop = FindExtension<TGIFAppExtNSLoop>(l.Picture->Frame(0));
    ASSERT_NE(loop, nullptr);
    EXPECT_EQ(loop->BufferBytes, 0x2010u);
    EXPECT_NE(Save(l.Picture.get()).find(withBuffer), std::string::npos);
    // A loop sub-block too short for its count is refused.
    Loaded shortLoop = Load(GifHeader(3, 3, 2) + std::string("\x21\xFF\x0BNETSCAPE2.0\x02\x01\x02", 17) +
                            std::string(1, '\0') + ImageBlock(0, 0, 3, 3, a, 2) + ";");
    EXPECT_EQ(shortLoop.Error, "Invalid GIF data");
}

TEST(GifBlocks, ApplicationBlocksOfSizeTenAndUnknownOnesRoundTripByteForByte) {
    const auto a = Pattern(4, 2, 4);
    const std::string ten = std::string("\x21\xFF\x0A", 3) + "ABCDEFGHIJ" + "\x03xyz" + std::string(1, '\0');
    const std::string unknown = std::string("\x21\xFF\x0B", 3) + "OTHERAPP1.0" + "\x03" + "abc" + "\xC8" +
                                std::string(200, 'q') + std::string(1, '\0');
    // Its first sub-block reads like the looping block's identifier: each class choice must look
    // at the block from its start, not at the bytes the previous choice read.
    const std::string lookalike = std::string("\x21\xFF\x0B", 3) + "OTHERAPP1.0" + "\x0B" + "NETSCAPE2.0" + std::string("\x03\x01\x05\x00", 4) +
                                  std::string(1, '\0');
    const std::string gif = GifHeader(4, 2, 2) + ten + unknown + lookalike + ImageBlock(0, 0, 4, 2, a, 2) + ";";
    Loaded l = Load(gif);
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(l.Warnings.empty());
    TGIFSubImage* f = l.Picture->Frame(0);
    ASSERT_EQ(f->FrameExtensions->ItemCount(), 3);
    EXPECT_NE(dynamic_cast<TGIFUnknownAppExtension*>(f->FrameExtensions->ItemAt(2)), nullptr);
    auto* first = dynamic_cast<TGIFUnknownAppExtension*>(f->FrameExtensions->ItemAt(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->BlockSize, 10);
    ASSERT_EQ(first->DataBlocks.size(), 1u);
    auto* second = dynamic_cast<TGIFUnknownAppExtension*>(f->FrameExtensions->ItemAt(1));
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->DataBlocks.size(), 2u);
    EXPECT_EQ(second->DataBlocks[1].Data.size(), 200u);
    EXPECT_EQ(Save(l.Picture.get()), gif);
    // Block sizes below 10 are refused.
    Loaded tiny = Load(GifHeader(4, 2, 2) + std::string("\x21\xFF\x05", 3) + "ABCDE" + std::string(1, '\0') +
                       ImageBlock(0, 0, 4, 2, a, 2) + ";");
    EXPECT_EQ(tiny.Error, "Unsupported Application Extension block size");
}

TEST(GifBlocks, AControlBlockHonoursItsBlockSize) {
    const auto a = Pattern(4, 4, 4);
    // Size 5: one surplus byte before the terminator.
    const std::string five = std::string("\x21\xF9\x05\x09\x0C\x00\x02\x77", 8) + std::string(1, '\0');
    Loaded l = Load(GifHeader(4, 4, 2) + five + ImageBlock(0, 0, 4, 4, a, 2) + ";");
    ASSERT_EQ(l.Error, "");
    EXPECT_TRUE(l.Warnings.empty()) << l.Warnings.front();
    TGIFGraphicControlExtension* gce = l.Picture->Frame(0)->ControlBlock;
    ASSERT_NE(gce, nullptr);
    EXPECT_EQ(gce->DelayTime(), 12);
    EXPECT_EQ(gce->DisposalMethod(), 2);
    EXPECT_TRUE(gce->TransparentColorFlag());
    EXPECT_EQ(gce->TransparentColorIndex(), 2);
    EXPECT_TRUE(l.Picture->Frame(0)->IsTransparent);
    EXPECT_EQ(FramePixels(l.Picture->Frame(0)), a);
    // Written as the standard four-byte block.
    EXPECT_NE(Save(l.Picture.get()).find(std::string("\x21\xF9\x04\x09\x0C\x00\x02\x00", 8)), std::string::npos);
    // A block cut short by the end of the stream warns and loads nothing more.
    Loaded cut = Load(GifHeader(4, 4, 2) + std::string("\x21\xF9\x04\x09", 4));
    EXPECT_EQ(cut.Error, "");
    EXPECT_EQ(cut.Warnings, std::vector<std::string>{"Premature end of data"});
}

TEST(GifBlocks, DisposalWritesKeepTheOtherPackedBits) {
    TGIFPicture p;
    auto frame = std::make_unique<TGIFSubImage>(&p);
    TGIFGraphicControlExtension gce(frame.get());
    gce.Block[1] = 0x03;  // transparent, user input
    gce.SetDisposalMethod(9);
    EXPECT_EQ(gce.DisposalMethod(), 1);
    EXPECT_EQ(gce.Block[1], 0x07);
    gce.SetDisposalMethod(3);
    EXPECT_EQ(gce.Block[1], 0x0F);
}

TEST(GifBlocks, ALongCommentIsWrittenAsSubBlocksAndReadBackAsLines) {
    const auto a = Pattern(2, 2, 4);
    const std::string text(300, 'k');
    Loaded l = Load(GifHeader(2, 2, 2) + Comment(text) + ImageBlock(0, 0, 2, 2, a, 2) + ";");
    ASSERT_EQ(l.Error, "");
    auto* c = FindExtension<TGIFCommentExtension>(l.Picture->Frame(0));
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->TextLines->Count(), 2);
    EXPECT_EQ(c->TextLines->Strings(0), std::string(255, 'k'));
    EXPECT_EQ(c->TextLines->Strings(1), std::string(45, 'k'));
    // One line of 300 written gives the sub-blocks 255 and 45.
    c->TextLines->Clear();
    c->TextLines->Add(text);
    EXPECT_NE(Save(l.Picture.get()).find(Comment(text)), std::string::npos);
}

TEST(GifBlocks, ExtensionsAfterTheLastImageStayInABlankFrame) {
    const auto a = Pattern(3, 2, 4);
    const std::string gif = GifHeader(3, 2, 2) + ImageBlock(0, 0, 3, 2, a, 2) + Comment("tail") + ";";
    Loaded l = Load(gif);
    ASSERT_EQ(l.Error, "");
    ASSERT_EQ(l.Picture->FrameCount(), 2);
    EXPECT_TRUE(l.Picture->Frame(1)->IsBlank());
    EXPECT_EQ(l.Picture->Frame(1)->FrameExtensions->ItemCount(), 1);
    EXPECT_EQ(Save(l.Picture.get()), gif);
}

TEST(GifBlocks, StrayBytesStopTheFramesWithWarnings) {
    const auto a = Pattern(3, 2, 4);
    // Between frames: "Unknown GIF block type"; in front of an image: "Invalid extension introducer",
    // and no descriptor is read from a byte that is not ",".
    Loaded between = Load(GifHeader(3, 2, 2) + ImageBlock(0, 0, 3, 2, a, 2) + "X" + ImageBlock(0, 0, 3, 2, a, 2) + ";");
    EXPECT_EQ(between.Error, "");
    EXPECT_EQ(between.Picture->FrameCount(), 1);
    EXPECT_NE(std::find(between.Warnings.begin(), between.Warnings.end(), "Unknown GIF block type"), between.Warnings.end());
    Loaded inFront = Load(GifHeader(3, 2, 2) + Comment("c") + "X" + ImageBlock(0, 0, 3, 2, a, 2) + ";");
    EXPECT_EQ(inFront.Error, "");
    ASSERT_GE(inFront.Picture->FrameCount(), 1);
    EXPECT_TRUE(inFront.Picture->Frame(0)->IsBlank());
    EXPECT_EQ(inFront.Warnings.at(0), "Invalid extension introducer");
    // An unknown label is an error.
    Loaded label = Load(GifHeader(3, 2, 2) + "\x21\x33\x00" + ImageBlock(0, 0, 3, 2, a, 2) + ";");
    EXPECT_EQ(label.Error, "Unknown extension type");
}

TEST(GifBlocks, AFailedReadPutsTheStreamBackAndKeepsWhatWasRead) {
    const auto a = Pattern(8, 8, 4);
    const std::string good = GifHeader(8, 8, 2) + ImageBlock(0, 0, 8, 8, a, 2);
    const std::string bytes = "prefix" + good + ",\x01";  // a descriptor cut short
    TGIFPicture p;
    TStringStream s(bytes);
    s.SetPosition(6);
    try {
        p.LoadFromStream(&s);
        ADD_FAILURE() << "loaded";
    } catch (const GIFException& e) {
        EXPECT_EQ(e.Message, "Premature end of data");
    }
    EXPECT_EQ(s.Position(), 6);
    EXPECT_EQ(p.FrameCount(), 1);
}

TEST(GifBlocks, ZeroSizedDescriptorsAndScreensTakeTheOtherSize) {
    const auto a = Pattern(6, 4, 4);
    // A frame of width 0 takes the logical screen's size, with one warning, and its data is skipped.
    Loaded zeroFrame = Load(GifHeader(6, 4, 2) + "," + Le16(0) + Le16(0) + Le16(0) + Le16(4) + std::string(1, '\0') +
                            ImageData(1, 1, {0}, 2) + ImageBlock(0, 0, 6, 4, a, 2) + ";");
    EXPECT_EQ(zeroFrame.Error, "");
    EXPECT_EQ(zeroFrame.Warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
    ASSERT_EQ(zeroFrame.Picture->FrameCount(), 2);
    EXPECT_EQ(zeroFrame.Picture->Frame(0)->Width(), 6);
    EXPECT_EQ(FramePixels(zeroFrame.Picture->Frame(1)), a);
    // A logical screen of 0 x 0 takes the frames' extent.
    Loaded zeroScreen = Load(GifHeader(0, 0, 2) + ImageBlock(2, 1, 6, 4, a, 2) + ";");
    EXPECT_EQ(zeroScreen.Error, "");
    EXPECT_EQ(zeroScreen.Picture->Width(), 8);
    EXPECT_EQ(zeroScreen.Picture->Height(), 5);
    TBitmap* still = zeroScreen.Picture->ScreenBitmap();
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(still->Width(), 8);
}

TEST(GifBlocks, TheVersionWrittenIsTheHighestNeeded) {
    const auto a = Pattern(3, 3, 4);
    struct Case {
        std::string In;
        std::string Version;
    };
    const Case cases[] = {
        {GifHeader(3, 3, 2, "89a") + ImageBlock(0, 0, 3, 3, a, 2) + ";", "87a"},
        {GifHeader(3, 3, 2, "87a") + Gce(0, 5) + ImageBlock(0, 0, 3, 3, a, 2) + ";", "89a"},
        {GifHeader(3, 3, 2, "87a") + ImageBlock(0, 0, 3, 3, a, 2) + Comment("x") + ";", "89a"},
        // An aspect ratio is a GIF89a field even when no frame needs that version.
        {GifHeader(3, 3, 2, "87a", 0, 49) + ImageBlock(0, 0, 3, 3, a, 2) + ";", "89a"},
    };
    for (const Case& c : cases) {
        Loaded l = Load(c.In);
        ASSERT_EQ(l.Error, "");
        EXPECT_EQ(Save(l.Picture.get()).substr(0, 6), "GIF" + c.Version);
    }
}

TEST(GifBlocks, InterlacedFramesKeepTheirOrderWithOrWithoutALocalTable) {
    const auto a = Pattern(7, 11, 4);
    for (int local : {0, 2}) {
        SCOPED_TRACE(local);
        Loaded l = Load(GifHeader(7, 11, 2) + ImageBlock(0, 0, 7, 11, a, 2, true, local) + ";");
        ASSERT_EQ(l.Error, "");
        EXPECT_TRUE(l.Picture->Frame(0)->Interlaced());
        EXPECT_EQ(FramePixels(l.Picture->Frame(0)), a);
        const RefGif ref = RefDecode(Save(l.Picture.get()));
        ASSERT_EQ(ref.Error, 0);
        ASSERT_EQ(ref.Frames.size(), 1u);
        EXPECT_TRUE(ref.Frames[0].Interlaced);
        EXPECT_EQ(ref.Frames[0].LocalColors, local ? 4 : 0);
        EXPECT_EQ(ref.Frames[0].Pixels, a);
    }
}

TEST(GifBlocks, PlainTextBlocksRoundTripAndHonourTheirBlockSize) {
    const auto a = Pattern(4, 4, 4);
    const std::string header12 = std::string("\x21\x01\x0C", 3) + Le16(1) + Le16(2) + Le16(30) + Le16(10) + std::string("\x08\x0A\x01\x00", 4);
    const std::string text = header12 + "\x05Hello\x03" "abc" + std::string(1, '\0');
    const std::string gif = GifHeader(4, 4, 2) + text + ImageBlock(0, 0, 4, 4, a, 2) + ";";
    Loaded l = Load(gif);
    ASSERT_EQ(l.Error, "");
    auto* t = FindExtension<TGIFTextExtension>(l.Picture->Frame(0));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->TextLines->Count(), 2);
    EXPECT_EQ(t->TextLines->Strings(0), "Hello");
    EXPECT_EQ(t->TextHeader[5], 30);
    EXPECT_EQ(Save(l.Picture.get()), gif);
    // A block of 14 header bytes: the two surplus bytes are skipped, the text still read.
    const std::string longer = std::string("\x21\x01\x0E", 3) + header12.substr(3) + "zz" + "\x02hi" + std::string(1, '\0');
    Loaded m = Load(GifHeader(4, 4, 2) + longer + ImageBlock(0, 0, 4, 4, a, 2) + ";");
    ASSERT_EQ(m.Error, "");
    auto* u = FindExtension<TGIFTextExtension>(m.Picture->Frame(0));
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->TextLines->Strings(0), "hi");
    EXPECT_EQ(FramePixels(m.Picture->Frame(0)), a);
}

}  // namespace
}  // namespace giftest
