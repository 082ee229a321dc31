// The in-process clipboard: named formats, one opener at a time, and the data it owns.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/classlib/clipboard.h"
#include "platform/win/winuser.h"

namespace {

HGLOBAL Block(const char* text) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::memcpy(GlobalLock(h), text, std::strlen(text) + 1);
    GlobalUnlock(h);
    return h;
}

TEST(Clipboard, NamedFormatsAreNumberedOncePerName) {
    const UINT a = RegisterClipboardFormatA("Test Format A");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatA("test format a"), a);
    EXPECT_NE(RegisterClipboardFormatA("Test Format B"), a);
    EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
    char name[32];
    EXPECT_EQ(GetClipboardFormatNameA(a, name, sizeof name), 13);
    EXPECT_STREQ(name, "Test Format A");
}

TEST(Clipboard, OneOpenerAtATimeAndOnlyWhileOpen) {
    HGLOBAL refused = Block("x");
    EXPECT_EQ(SetClipboardData(CF_TEXT, reinterpret_cast<HANDLE>(refused)), nullptr);  // not open: refused
    GlobalFree(refused);  // still the caller's
    ASSERT_TRUE(OpenClipboard(nullptr));
    bool otherOpened = true;
    std::thread([&] { otherOpened = OpenClipboard(nullptr) != FALSE; }).join();
    EXPECT_FALSE(otherOpened);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
}

TEST(Clipboard, DataIsOwnedAndFreedWhenReplacedOrEmptied) {
    const std::size_t before = gdi::LiveObjectCount();
    ASSERT_TRUE(OpenClipboard(nullptr));
    ASSERT_TRUE(EmptyClipboard());
    const UINT f = RegisterClipboardFormatA("Test Bytes");
    HGLOBAL first = Block("first");
    ASSERT_EQ(SetClipboardData(f, reinterpret_cast<HANDLE>(first)), reinterpret_cast<HANDLE>(first));
    ASSERT_NE(SetClipboardData(f, reinterpret_cast<HANDLE>(Block("second"))), nullptr);
    HANDLE got = GetClipboardData(f);
    ASSERT_NE(got, nullptr);
    EXPECT_STREQ(static_cast<const char*>(GlobalLock(reinterpret_cast<HGLOBAL>(got))), "second");
    GlobalUnlock(reinterpret_cast<HGLOBAL>(got));
    HBITMAP bmp = CreateBitmap(3, 3, 1, 1, nullptr);
    ASSERT_NE(SetClipboardData(CF_BITMAP, reinterpret_cast<HANDLE>(bmp)), nullptr);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_EQ(gdi::LiveObjectCount(), before + 2);  // the second block and the bitmap; the first went
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_BITMAP));
    EXPECT_FALSE(IsClipboardFormatAvailable(f));
    EXPECT_EQ(gdi::LiveObjectCount(), before);  // the bitmap went with the clipboard's data
    EXPECT_EQ(GetObjectType(ToGdiObj(bmp)), 0u);
    CloseClipboard();
}

}  // namespace
