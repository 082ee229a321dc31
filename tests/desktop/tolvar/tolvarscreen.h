// Tolvar started on the private display as the program starts: its book seeded into tolvar17.ini,
// its windows created and the main window shown; and the widgets of its forms and controls.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "display.h"
#include "messenger/TolvarProgram.h"
#include "messenger/Unit1.h"
#include "platform/classlib/forms.h"
#include "platform/codepage/cp1254.h"
#include "platform/desktop/desktop.h"
#include "platform/win/statedir.h"
#include "support/tempstate.h"

namespace desktoptest {

class TolvarScreenTest : public DesktopTest {
protected:
    // `iniUtf8` is the stored book (UTF-8 here, written as Windows-1254).
    void StartTolvar(const std::string& iniUtf8) {
        DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        testsupport::WriteAll(win::WindowsDir() + "/tolvar17.ini", cp1254::FromUtf8(iniUtf8));
        tolvar::CreateForms();
        tolvar::ShowMainForm();
        ASSERT_TRUE(Mapped(Form1));
    }
    static GtkWidget* Window(TCustomForm* f) { return static_cast<GtkWidget*>(desktop::FormWindow(f)); }
    static bool Mapped(TCustomForm* f) {
        return PumpUntil([&] { return Window(f) && gtk_widget_get_mapped(Window(f)); }, 20000);
    }
    static GtkWidget* Widget(TControl* c) { return static_cast<GtkWidget*>(desktop::ControlWidget(c)); }
};

}  // namespace desktoptest
