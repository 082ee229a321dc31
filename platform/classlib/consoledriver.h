// The console driver: a line-oriented way for a person or a script to use the program over the
// headless backend.
//
// Input is UTF-8 (converted to Windows-1254); output is UTF-8. It prints every form shown or hidden
// and every box or dialog asked, and when a box or dialog is open it waits for the answer line.
// Once the program has ended (its main window closed, or it halted), even while a box, dialog or
// modal window waits, nothing is read for them: a box takes its default button, a dialog and a
// modal window are cancelled.
// Output lines:
//   shown Form1 "Caption"              hidden Form1 "Caption"
//   box "Caption" "Text" buttons=Yes,No default=No icon=question     (then waits for `answer ...`)
//   dialog open "Title" file="tolvar.ini" filter="..."               (then waits for `file`/`cancel`)
//   popup Form1.PopupMenu2 items=MesajYolla1,YeniCEPEkle1,...
//   navigate http://host/path          (a web browser control goes to an address)
//   tray added "tip"                   tray removed "tip"     (an icon in the notification area)
//   open "mailto:a@b" [verb=open]      (the shell is asked to open a document or address)
//   exit 0                             (the program halted with that code)
//   error: <message>                   (a bad command; the driver goes on)
// Texts are quoted with \" \\ \r \n \t escaped. Commands (one per line; PATH is Form or
// Form.Component; TEXT is the rest of the line, with \r \n \t \b \e \\ escapes):
//   click PATH            menu PATH (same as click)      dblclick PATH [INDEX]
//   type PATH TEXT        paste PATH TEXT                 key PATH enter|escape|back|tab|up|down|left|right|delete|space
//   select PATH INDEX     rclick PATH                     close FORM
//   minimize              restore
//   tray click            tray dblclick                   tray menu ITEM
//                         (the icon in the notification area; ITEM is a name or a caption of its menu)
//   mouse down|up|move FORM X Y [left|right|middle]
//   answer yes|no|ok|cancel|abort|retry|ignore    (only while a box is open)
//   file NAME             cancel                          (only while a dialog is open; a NAME the
//                         code page cannot hold gets its box, ProgramFileName, and the dialog stays)
//   show                  (visible windows and their controls' texts)
//   pump                  (let the message loop run)      help
//   wait MS               (let the message loop and its timers run for MS milliseconds)
//   after MS COMMAND      (run COMMAND in MS milliseconds from whatever message loop runs then, so a
//                          script can act while the program waits, as during a send)
// Empty lines and lines starting with '#' are skipped. End of input ends the process at once
// without writing anything (OnEndOfInput; the default is _exit(0)).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

class TConsoleDriver {
public:
    TConsoleDriver(std::istream& in, std::ostream& out);
    ~TConsoleDriver();
    TConsoleDriver(const TConsoleDriver&) = delete;
    TConsoleDriver& operator=(const TConsoleDriver&) = delete;

    // Runs commands until the program halts (returns its exit code) or the input ends (runs
    // OnEndOfInput; when that returns, Run returns -1). Installs itself as the headless backend's
    // asker and window watcher for its lifetime. The caller starts the program's forms inside an
    // active headless::TSession first (or passes `start`, run as the first scripted action).
    int Run(const std::function<void()>& start = nullptr);
    // Runs one command line; false when it was an error (the message is printed).
    bool Execute(const std::string& line);

    std::function<void()> OnEndOfInput;
    // A program's own commands: asked with a line (Windows-1254) whose command word the driver does
    // not know; true when it took the line. An exception it raises is printed as an error.
    std::function<bool(const std::string& line)> OnCommand;
    // Lines added to the help text.
    std::string ExtraHelp;

private:
    struct Impl;
    Impl* FImpl;
};
