// TXaudioPlayer over the library: the version check, the conversion of notifications into events,
// what reaches the library from the command methods.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"
#include "platform/win/modules.h"
#include "platform/win/winuser.h"
#include "player/XaudioPlayer.h"
#include "support/msgpump.h"
#include "support/tempstate.h"

namespace {

// A stand-in library of the test's own: the real exports, with a version and a converter of its own.
std::uint32_t gVersion = 0;
XA_Message gNext{};
std::uint32_t FakeVersion(std::uint32_t) { return gVersion; }
int FakeConvert(XA_PlayerHandle, XA_Message* m, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_USER + 99) return XA_ERROR_NOT_A_MESSAGE;
    *m = gNext;
    return XA_SUCCESS;
}

class Binding : public ::testing::Test {
protected:
    void SetUp() override { xaudio::Register(); }
    void TearDown() override { win::RegisterModule(xaudio::Definition()); }
    void UseFake(bool version, bool convert) {
        auto def = xaudio::Definition();
        for (auto& e : def.exports) {
            if (version && e.name == "xaudio_get_api_version") e.proc = reinterpret_cast<FARPROC>(&FakeVersion);
            if (convert && e.name == "control_win32_params_to_message") e.proc = reinterpret_cast<FARPROC>(&FakeConvert);
        }
        win::RegisterModule(def);
    }
    testsupport::TempState state;
    headless::TSession session;
};

TEST_F(Binding, AnotherVersionIsReportedAndThePlayerStillStarts) {
    gVersion = (3u << 16) | (3u << 8);
    UseFake(true, false);
    TXaudioPlayer p(nullptr);
    const auto& boxes = headless::Headless().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "Xaudio DLL API Mismatch\rExpected 3,2\rGot 3,3");
    EXPECT_EQ(boxes[0].Buttons, std::vector<int>{IDOK});
    EXPECT_NE(p.PlayerHandle(), 0u);
    bool ready = false;
    p.OnNotifyReady = [&](TObject*) { ready = true; };
    EXPECT_TRUE(testsupport::PumpUntil([&] { return ready; }));
}

TEST_F(Binding, TheRightVersionSaysNothing) {
    TXaudioPlayer p(nullptr);
    EXPECT_TRUE(headless::Headless().Boxes().empty());
    p.SetPriority(4);
    EXPECT_EQ(p.Priority(), 4u);
    EXPECT_EQ(p.ErrorString(XA_ERROR_OPEN_FAILED), "the input cannot be opened");
}

TEST_F(Binding, CodesWithoutAnEventFireOnlyTheMessageEvent) {
    UseFake(false, true);
    TXaudioPlayer p(nullptr);
    int messages = 0, others = 0;
    p.OnNotifyMessage = [&](TObject*, XA_Message&) { ++messages; };
    p.OnNotifyReady = [&](TObject*) { ++others; };
    p.OnNotifyOutputPorts = [&](TObject*, std::uint32_t) { ++others; };
    p.OnNotifyOutputModule = [&](TObject*, std::int16_t) { ++others; };
    for (std::uint32_t code : {95u, 63u, 107u, 0u, 0xFFFFFFFFu}) {
        gNext = XA_Message{code, {}};
        SendMessageA(p.Window(), WM_USER + 99, 0, 0);
    }
    EXPECT_EQ(messages, 5);
    EXPECT_EQ(others, 0);
    // A message that is not the library's gets the default handling and no event.
    SendMessageA(p.Window(), WM_USER + 5, 0, 0);
    EXPECT_EQ(messages, 5);
}

TEST_F(Binding, EventsReadTheRecordAsTheMessageHandlerLeftIt) {
    UseFake(false, true);
    TXaudioPlayer p(nullptr);
    std::vector<std::uint32_t> got;
    p.OnNotifyMessage = [&](TObject*, XA_Message& m) { m.data[0] = 123; };
    p.OnNotifyInputPosition = [&](TObject*, std::uint32_t o, std::uint32_t r) {
        got.push_back(o);
        got.push_back(r);
    };
    p.OnNotifyNack = [&](TObject*, BYTE c, std::int16_t code) {
        got.push_back(c);
        got.push_back(static_cast<std::uint32_t>(code));
    };
    p.OnNotifyInputStreamInfo = [&](TObject*, BYTE level, BYTE layer, WORD bitrate, WORD freq, BYTE mode) {
        for (std::uint32_t v : {std::uint32_t(level), std::uint32_t(layer), std::uint32_t(bitrate), std::uint32_t(freq), std::uint32_t(mode)})
            got.push_back(v);
    };
    gNext = XA_Message{76, {0, 1, 0, 0, 0x90, 0x01, 0, 0}};  // offset 256 (then 256 + 123 - 0), range 400
    SendMessageA(p.Window(), WM_USER + 99, 0, 0);
    gNext = XA_Message{66, {7, 0, 0xFB, 0xFF}};  // Nack of command 7, code -5
    SendMessageA(p.Window(), WM_USER + 99, 0, 0);
    gNext = XA_Message{81, {1, 3, 128, 0, 0x44, 0xAC, 1}};
    SendMessageA(p.Window(), WM_USER + 99, 0, 0);
    EXPECT_EQ(got, (std::vector<std::uint32_t>{256 + 123, 400, 123, static_cast<std::uint32_t>(-5), 123, 3, 128, 44100, 1}));
}

// What the command methods hand the library, seen in its answers.
TEST_F(Binding, VolumeSendsTheLowBytesAnd255KeepsAValue) {
    TXaudioPlayer p(nullptr);
    std::vector<int> got;
    p.OnNotifyOutputVolume = [&](TObject*, BYTE master, BYTE pcm, BYTE balance) {
        got = {master, pcm, balance};
    };
    p.SetOutputVolume(300, 255, 50);  // balance 44, PCM level kept, master 50
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !got.empty(); }));
    EXPECT_EQ(got, (std::vector<int>{50, 100, 44}));
}

TEST_F(Binding, EqualizerAndTextsComeBack) {
    TXaudioPlayer p(nullptr);
    XA_EqualizerInfo eq{};
    eq.left[3] = -80;
    eq.right[30] = 80;
    std::optional<XA_EqualizerInfo> back;
    std::string output;
    p.OnNotifyCodecEqualizer = [&](TObject*, XA_EqualizerInfo& e) { back = e; };
    p.OnNotifyOutputName = [&](TObject*, const std::string& n) { output = n; };
    p.SetCodecEqualizer(&eq);
    p.GetCodecEqualizer();
    p.SetOutputName("null:fast");
    ASSERT_TRUE(testsupport::PumpUntil([&] { return back && !output.empty(); }));
    EXPECT_EQ(back->left[3], -80);
    EXPECT_EQ(back->right[30], 80);
    EXPECT_EQ(output, "null:fast");
    back.reset();
    p.SetCodecEqualizer(nullptr);  // off: the library reports a flat record
    p.GetCodecEqualizer();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return back.has_value(); }));
    EXPECT_EQ(back->left[3], 0);
}

TEST_F(Binding, DestroyDeletesThePlayer) {
    const int before = xaudio::PlayerCount();
    {
        TXaudioPlayer p(nullptr);
        p.Play();  // no input: a Nack that nobody hears
        EXPECT_EQ(xaudio::PlayerCount(), before + 1);
    }
    EXPECT_EQ(xaudio::PlayerCount(), before);
}

}  // namespace
