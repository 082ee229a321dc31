// A headless session with Dorlin's main window on the real decoder library (the null outputs, so
// nothing sounds and the tests set the pace), in a private state folder.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/inifiles.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/statedir.h"
#include "player/DorlinProgram.h"
#include "player/Main.h"
#include "support/audiofixtures.h"
#include "support/msgpump.h"
#include "support/tempstate.h"

namespace playertest {

inline std::string T(const char* utf8) { return cp1254::FromUtf8(utf8); }

class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XAUDIO_OUTPUT", "null:fast", 1);
        testsupport::Audio();
        dorlin::Startup();
    }
    void TearDown() override {
        Application->Reset();
        dorlin::Shutdown();
        unsetenv("XAUDIO_OUTPUT");
    }

    std::string IniPath() const { return "c:\\Dorlin\\Dorlin.ini"; }
    std::string IniText() const { return testsupport::ReadAll(win::LocalPath(IniPath())); }
    void WriteIni(const std::string& text) {
        win::MakeDirs(win::LocalPath("c:\\Dorlin"));
        std::string crlf;
        for (char c : text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        testsupport::WriteAll(win::LocalPath(IniPath()), crlf);
    }
    // Creates and shows the main window, as the program block does.
    void Start() {
        dorlin::CreateMainForm();
        form = Form1;
        form->Show();
        Pump();
    }
    void Pump() { headless::Pump(); }
    // Lets every notification of the commands sent so far arrive: the decoder answers a ping
    // after it has handled them.
    void Settle() {
        bool pong = false;
        form->Player->OnNotifyPong = [&](TObject*, std::uint32_t tag) { pong |= tag == 4711; };
        form->Player->Ping(4711);
        ASSERT_TRUE(PumpUntil([&] { return pong; }));
        form->Player->OnNotifyPong = nullptr;
    }
    bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) { return testsupport::PumpUntil(done, ms); }
    std::string Text(const std::string& id) const {
        for (const auto& d : form->Skin->Displays())
            if (d.ID == id) return d.Text;
        return "(none)";
    }
    void Click(const std::string& id, const std::string& on = "Form1") { dorlin::SkinCommand("skin " + on + " click " + id); }

    testsupport::TempState state;
    headless::TSession session;
    TForm1* form = nullptr;
};

}  // namespace playertest
