// The console driver's boxes: a box asked while the program runs waits for its answer line; one
// asked after the program ended takes its default answer at once and reads nothing; a box, file
// dialog or modal window already open when the program ends takes its default answer once and
// the run ends, however long the terminal stays open.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/consoledriver.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/stdctrls.h"
#include "platform/win/winuser.h"

namespace {

// Input that gives "pump" lines, as a program's pumping input does once the program has ended,
// up to a limit, then its end.
class PumpLines : public std::streambuf {
public:
    explicit PumpLines(int limit) : FLeft(limit) {}
    int Given = 0;

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (FLeft == 0) return traits_type::eof();
        --FLeft;
        ++Given;
        setg(FLine, FLine, FLine + 5);
        return traits_type::to_int_type(*gptr());
    }

private:
    char FLine[6] = "pump\n";
    int FLeft;
};

struct BoxRun {
    int Code = 0;
    std::string Output;
    int LinesRead = 0;
    int Answer = 0;
    bool Answered = true;
};

BoxRun BoxAfter(bool ended) {
    headless::TSession session;
    PumpLines lines(1000);
    std::istream in(&lines);
    std::ostringstream out;
    BoxRun r;
    {
        TConsoleDriver driver(in, out);
        driver.OnEndOfInput = [] {};
        r.Code = driver.Run([&] {
            if (ended) Application->Terminate();
            r.Answer = Application->MessageBox("late", "Dorlin", MB_YESNO | MB_DEFBUTTON2);
            Application->Terminate();
        });
    }
    r.Output = out.str();
    r.LinesRead = lines.Given;
    const auto& boxes = headless::Headless().Boxes();
    r.Answered = !boxes.empty() && boxes[0].Answered;
    return r;
}

TEST(ConsoleDriverBoxes, ABoxAfterTheProgramEndedTakesItsDefaultOnce) {
    const BoxRun r = BoxAfter(true);
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Answer, IDNO);
    EXPECT_FALSE(r.Answered);
    EXPECT_EQ(r.LinesRead, 0);
    EXPECT_EQ(r.Output, "box \"Dorlin\" \"late\" buttons=Yes,No default=No icon=none\nexit 0\n");
}

TEST(ConsoleDriverBoxes, ABoxWhileTheProgramRunsWaitsForItsAnswer) {
    const BoxRun r = BoxAfter(false);
    // Every line the input gave was refused as no answer, up to its end.
    EXPECT_EQ(r.Code, -1);
    EXPECT_EQ(r.LinesRead, 1000);
    EXPECT_NE(r.Output.find("error: a message box is open: answer yes|no"), std::string::npos) << r.Output.substr(0, 400);
}

// A terminal left open: the script's lines, then nothing more is typed. While it waits, the message
// loop runs, as a program's pumping input lets it, and the first wait runs `whileWaiting` (a timed
// command coming due); once the program has ended it hands over "pump" lines, as that input does,
// counted up to a limit (then it ends, so a driver that refuses them for ever still stops).
// Waiting for an end that never comes ends it after five seconds.
class OpenTerminal : public std::streambuf {
public:
    OpenTerminal(std::vector<std::string> lines, std::function<void()> whileWaiting, int limit)
        : FLines(std::move(lines)), FWhileWaiting(std::move(whileWaiting)), FLeft(limit) {}
    int PumpLines = 0;

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (FNext < FLines.size()) return Give(FLines[FNext++] + "\n");
        const DWORD start = GetTickCount();
        if (FWhileWaiting) std::exchange(FWhileWaiting, nullptr)();
        for (;;) {
            Application->ProcessMessages();
            if (Application->Terminated() || headless::Halted()) {
                if (FLeft-- <= 0) return traits_type::eof();
                ++PumpLines;
                return Give("pump\n");
            }
            if (GetTickCount() - start > 5000) return traits_type::eof();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        }
    }

private:
    int_type Give(const std::string& line) {
        FLine = line;
        setg(FLine.data(), FLine.data(), FLine.data() + FLine.size());
        return traits_type::to_int_type(*gptr());
    }
    std::vector<std::string> FLines;
    std::function<void()> FWhileWaiting;
    std::size_t FNext = 0;
    std::string FLine;
    int FLeft;
};

// Form1 asks a box, opens a file dialog or shows Form2 modally, and closes (which ends the program,
// being the main window) or halts with code 3; Form2 closes the main window or halts.
class TAskingForm : public TForm {
public:
    explicit TAskingForm(TComponent* owner) : TForm(owner) {
        SetName(Count++ == 0 ? "Form1" : "Form2");
        Dialog = new TOpenDialog(this);
        Button("Ask", [this] { BoxAnswer = Application->MessageBox("Sure?", "Asking", MB_YESNO | MB_DEFBUTTON2); });
        Button("Open", [this] { Chosen = Dialog->Execute(); });
        Button("Modal", [this] { ModalAnswer = Other->ShowModal(); });
        Button("Quit", [] { Application->MainForm()->Close(); });
        Button("Halt", [] { Halt(3); });
    }
    void Button(const std::string& name, std::function<void()> click) {
        auto* b = new TButton(this);
        b->SetName(name);
        b->SetParent(this);
        b->OnClick = [click](TObject*) { click(); };
    }
    static inline int Count = 0;
    TOpenDialog* Dialog = nullptr;
    TAskingForm* Other = nullptr;
    int BoxAnswer = 0;
    bool Chosen = true;
    int ModalAnswer = 0;
};

TEST(ConsoleDriverEnd, WhatIsOpenWhenTheProgramEndsTakesItsDefaultOnce) {
    // The command that opens something, and the one that comes due while it waits for a line.
    struct Case {
        std::string open, end;
        int code;
        std::string asked;  // what the open box, dialog or modal window printed
    } cases[] = {
        {"click Form1.Ask", "click Form1.Quit", 0, "box \"Asking\" \"Sure?\" buttons=Yes,No default=No icon=none\n"},
        {"click Form1.Ask", "click Form1.Halt", 3, "box \"Asking\" \"Sure?\" buttons=Yes,No default=No icon=none\n"},
        {"click Form1.Open", "click Form1.Quit", 0, "dialog open \"\" file=\"\" filter=\"\"\n"},
        {"click Form1.Open", "click Form1.Halt", 3, "dialog open \"\" file=\"\" filter=\"\"\n"},
        {"click Form1.Modal", "click Form2.Halt", 3, "shown Form2 \"\"\nhidden Form2 \"\"\n"},
        {"click Form1.Modal", "click Form2.Quit", 0, "shown Form2 \"\"\nhidden Form2 \"\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.open + ", then " + c.end);
        headless::TSession session;
        TAskingForm::Count = 0;
        TConsoleDriver* running = nullptr;
        OpenTerminal terminal({c.open}, [&] { running->Execute(c.end); }, 1000);
        std::istream in(&terminal);
        std::ostringstream out;
        TAskingForm* form1 = nullptr;
        TAskingForm* form2 = nullptr;
        int code = 0;
        {
            TConsoleDriver driver(in, out);
            running = &driver;
            driver.OnEndOfInput = [] {};
            code = driver.Run([&] {
                Application->CreateForm(form1);
                Application->CreateForm(form2);
                form1->Other = form2;
            });
        }
        const std::string output = out.str();
        EXPECT_EQ(code, c.code) << output.substr(0, 400);
        EXPECT_EQ(terminal.PumpLines, 1);  // the end, seen once
        const std::string exit = "exit " + std::to_string(c.code) + "\n";
        const auto& boxes = headless::Headless().Boxes();
        const auto& dialogs = headless::Headless().Dialogs();
        // What was asked is printed once, and nothing after it but the end.
        EXPECT_EQ(output, "shown Form1 \"\"\n" + c.asked + exit);
        // The default answer: the box's default button, the dialog and the modal window cancelled.
        if (c.open == "click Form1.Ask") {
            EXPECT_EQ(boxes.size(), 1u);
            EXPECT_TRUE(boxes.size() == 1 && !boxes[0].Answered);
            EXPECT_EQ(form1->BoxAnswer, IDNO);
        } else if (c.open == "click Form1.Open") {
            EXPECT_EQ(dialogs.size(), 1u);
            EXPECT_TRUE(dialogs.size() == 1 && !dialogs[0].Answered);
            EXPECT_FALSE(form1->Chosen);
        } else {
            EXPECT_EQ(form1->ModalAnswer, mrCancel);
            EXPECT_FALSE(form2->Visible());
        }
    }
}

}  // namespace
