// Tolvar, the SMS messenger: the program block.
//
// With a display (and without --console or UI=console) the windows open on the desktop and the
// application's message loop runs them. Otherwise the windows live on the headless backend and a
// person (or a script) uses them through the console driver on standard input and output: the
// driver is the message loop, running until the program halts (after Yes to the exit question) or
// the input ends, which ends the process at once without writing anything, as a killed program
// would.
#include <unistd.h>

#include <iostream>

#include "messenger/TolvarProgram.h"
#include "platform/classlib/application.h"
#include "platform/classlib/consoledriver.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/jpeg.h"
#include "platform/desktop/desktop.h"

int main(int argc, char** argv) {
    // The picture modules in module order.
    GraphicsStartup();
    JPEGStartup();
    if (desktop::WantDesktop(argc, argv) && desktop::Start()) {
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        Application->Run();
        std::cout.flush();
        _exit(0);
    }
    headless::TSession session;
    TConsoleDriver driver(std::cin, std::cout);
    const int code = driver.Run([] {
        tolvar::CreateForms();
        tolvar::ShowMainForm();
    });
    std::cout.flush();
    JPEGShutdown();
    GraphicsShutdown();
    _exit(code < 0 ? 0 : code);
}
