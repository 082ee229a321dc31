// The console driver's boxes: a box asked while the program runs waits for its answer line; one
// asked after the program ended takes its default answer at once and reads nothing.
#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>

#include "platform/classlib/application.h"
#include "platform/classlib/consoledriver.h"
#include "platform/classlib/dialogs.h"
#include "platform/classlib/headless.h"

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

}  // namespace
