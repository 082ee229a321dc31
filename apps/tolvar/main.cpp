// Tolvar, the SMS messenger: the program block.
//
// There is no desktop display yet, so the windows live on the headless backend and a person (or a
// script) uses them through the console driver on standard input and output. The driver is the
// message loop: it runs until the program halts (after Yes to the exit question) or the input ends,
// which ends the process at once without writing anything, as a killed program would.
#include <unistd.h>

#include <iostream>

#include "messenger/TolvarProgram.h"
#include "platform/classlib/consoledriver.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/headless.h"
#include "platform/classlib/jpeg.h"

int main() {
    // The picture modules in module order.
    GraphicsStartup();
    JPEGStartup();
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
