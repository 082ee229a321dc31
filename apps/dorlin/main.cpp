// Dorlin, the skinned MP3 player: the program block.
//
// With a display (and without --console or UI=console) the skinned windows open on the desktop and
// the application's message loop runs them until the main window closes. Otherwise the windows
// live on the headless backend and a person (or a script) uses them through the console driver on
// standard input and output. While the driver waits for the next line the message loop runs, so
// the decoder's notifications play the playlist on and the displays' texts are printed as they
// change ("text Form1.TEXT_POS \"00:07\""). The program ends when its main window closes, or at
// the end of the input (at once, writing nothing, as a killed program would).
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <streambuf>

#include "platform/classlib/application.h"
#include "platform/classlib/consoledriver.h"
#include "platform/classlib/headless.h"
#include "platform/desktop/desktop.h"
#include "platform/win/msgwait.h"
#include "platform/win/winuser.h"
#include "player/DorlinProgram.h"

namespace {

// Standard input that lets the message loop run while no line is there.
class PumpingInput : public std::streambuf {
public:
    explicit PumpingInput(std::function<void()> idle) : FIdle(std::move(idle)) {}
    ~PumpingInput() override {
        if (FWatch) win::UnwatchFd(FWatch);
    }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        for (;;) {
            Application->ProcessMessages();
            FIdle();
            if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
            // A program that ended while waiting: one empty command lets the driver see it.
            if (Application->Terminated() || headless::Halted()) return Give("pump\n");
            // One line at a time, so that the loop runs again between two commands.
            if (!FPending.empty() && FPending.find('\n') != std::string::npos) return GiveLine();
            pollfd p{0, POLLIN, 0};
            if (!FEnd && poll(&p, 1, 0) > 0) {
                char chunk[4096];
                const ssize_t n = read(0, chunk, sizeof chunk);
                if (n <= 0) FEnd = true;
                else FPending.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (FEnd) {
                if (FPending.empty()) return traits_type::eof();
                FPending += '\n';
                return GiveLine();
            }
            if (!FWatch) FWatch = win::WatchFd(nullptr, 0, POLLIN, [this](int, short) { win::SetFdEvents(FWatch, 0); });
            win::SetFdEvents(FWatch, POLLIN);
            WaitMessage();
        }
    }

private:
    int_type GiveLine() {
        const std::size_t n = std::min(FPending.find('\n') + 1, sizeof FBuffer);
        FPending.copy(FBuffer, n);
        FPending.erase(0, n);
        setg(FBuffer, FBuffer, FBuffer + n);
        return traits_type::to_int_type(*gptr());
    }
    int_type Give(const char* text) {
        const std::size_t n = std::char_traits<char>::length(text);
        std::char_traits<char>::copy(FBuffer, text, n);
        setg(FBuffer, FBuffer, FBuffer + n);
        return traits_type::to_int_type(*gptr());
    }
    std::function<void()> FIdle;
    char FBuffer[4096];
    std::string FPending;
    bool FEnd = false;
    int FWatch = 0;
};

}  // namespace

int main(int argc, char** argv) {
    // The application's title is its program's name, as the maker's file names spell it
    // ("Dorlin.ini"); the installed program's file name is in lower case.
    Application->Title = "Dorlin";
    dorlin::Startup();
    if (desktop::WantDesktop(argc, argv) && desktop::Start()) {
        dorlin::CreateMainForm();
        Application->Run();
        // Freeing the main window runs its destroy step: the decoder resets its output and exits.
        Application->Reset();
        desktop::Stop();
        dorlin::Shutdown();
        std::cout.flush();
        _exit(0);
    }
    int code = 0;
    {
        headless::TSession session;
        auto print = [](const std::string& line) { std::cout << line << '\n' << std::flush; };
        dorlin::ConsoleIdle = [&] { dorlin::ReportDisplays(print); };
        PumpingInput input([] { dorlin::ConsoleIdle(); });
        std::istream in(&input);
        TConsoleDriver driver(in, std::cout);
        driver.OnCommand = [](const std::string& line) { return dorlin::SkinCommand(line); };
        driver.ExtraHelp = dorlin::kSkinCommandHelp;
        code = driver.Run([] { dorlin::CreateMainForm(); });
        std::cout.flush();
        if (code < 0) _exit(0);
        // The session's end frees the windows: the main window's destroy step tells the decoder
        // to reset its output and exit.
    }
    dorlin::Shutdown();
    _exit(code);
}
