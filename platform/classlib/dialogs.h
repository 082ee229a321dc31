// Message box values and the open and save dialogs.
#pragma once

#include <string>
#include <vector>

#include "platform/classlib/components.h"
#include "platform/win/wintypes.h"

// Message box flags: buttons (low 4 bits), icon (bits 4-7), default button (bits 8-11).
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Message box results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The buttons of a flag set, in the order shown (an unknown button set reads as OK).
std::vector<int> MessageBoxButtons(UINT flags);
// The button preselected by the flags (MB_DEFBUTTONn counted in MessageBoxButtons order; the first
// when the set has fewer buttons).
int MessageBoxDefaultButton(UINT flags);
// "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No" ("?" for anything else), and back
// (ignoring case; 0 when unknown).
const char* ButtonName(int id);
int ButtonFromName(const std::string& name);
// "none", "error", "question", "warning", "information".
const char* IconName(UINT flags);

// Options of the file dialogs (a set).
enum TOpenOption : unsigned {
    ofReadOnly = 1u << 0,
    ofOverwritePrompt = 1u << 1,
    ofHideReadOnly = 1u << 2,
    ofNoChangeDir = 1u << 3,
    ofAllowMultiSelect = 1u << 4,
    ofExtensionDifferent = 1u << 5,
    ofPathMustExist = 1u << 6,
    ofFileMustExist = 1u << 7,
    ofCreatePrompt = 1u << 8,
    ofNoReadOnlyReturn = 1u << 9,
    ofEnableSizing = 1u << 10,
};
using TOpenOptions = unsigned;

// The open dialog. Execute asks the backend: true with FileName set to the chosen file (with
// "." + DefaultExt added when the chosen name has no extension and DefaultExt is set), false when
// cancelled (FileName unchanged).
class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* AOwner);
    const char* ClassName() const override { return "TOpenDialog"; }
    std::string FileName;
    std::string DefaultExt;
    std::string Filter;
    int FilterIndex = 1;
    std::string InitialDir;
    std::string Title;
    TOpenOptions Options = ofHideReadOnly | ofEnableSizing;
    virtual bool Execute();
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;

protected:
    virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
    const char* ClassName() const override { return "TSaveDialog"; }

protected:
    bool IsSave() const override { return true; }
};

// The program path (Windows-1254) of a file a person gave in the machine's own letters (UTF-8).
// `name` is the file system's own name (a file dialog's answer: only '/' divides it, and the path
// must name that very file) or, when `typed`, a name typed as a program path ('/' and '\' divide
// it). A name the code page cannot hold (a character of it outside the page, as Cyrillic, Japanese
// or a letter written as a base and a combining mark; a '\' in a file system name) has no such path:
// a warning box captioned with the application's title shows the name as it is and says which part
// of it, the file or a folder, holds such characters, and the result is false (`path` unchanged).
bool ProgramFileName(const std::string& name, std::string& path, bool typed = false);

// A message box through the application (HWND is ignored; text and caption are 1254 strings).
int MessageBoxA(HWND hwnd, const char* text, const char* caption, UINT flags);
