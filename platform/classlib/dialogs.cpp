#include "platform/classlib/dialogs.h"

#include "platform/classlib/application.h"
#include "platform/classlib/backend.h"

std::vector<int> MessageBoxButtons(UINT flags) {
    switch (flags & MB_TYPEMASK) {
        case MB_OKCANCEL: return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO: return {IDYES, IDNO};
        case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
        default: return {IDOK};
    }
}

int MessageBoxDefaultButton(UINT flags) {
    std::vector<int> b = MessageBoxButtons(flags);
    size_t i = (flags & MB_DEFMASK) >> 8;
    return i < b.size() ? b[i] : b[0];
}

const char* ButtonName(int id) {
    switch (id) {
        case IDOK: return "OK";
        case IDCANCEL: return "Cancel";
        case IDABORT: return "Abort";
        case IDRETRY: return "Retry";
        case IDIGNORE: return "Ignore";
        case IDYES: return "Yes";
        case IDNO: return "No";
        default: return "?";
    }
}

int ButtonFromName(const std::string& name) {
    for (int id = IDOK; id <= IDNO; ++id)
        if (SameText(name, ButtonName(id))) return id;
    return 0;
}

const char* IconName(UINT flags) {
    switch (flags & MB_ICONMASK) {
        case MB_ICONHAND: return "error";
        case MB_ICONQUESTION: return "question";
        case MB_ICONEXCLAMATION: return "warning";
        case MB_ICONASTERISK: return "information";
        default: return "none";
    }
}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner) {}

bool TOpenDialog::Execute() {
    TFileDialogRequest r;
    r.Save = IsSave();
    r.Title = Title;
    r.FileName = FileName;
    r.DefaultExt = DefaultExt;
    r.Filter = Filter;
    r.FilterIndex = FilterIndex;
    r.InitialDir = InitialDir;
    r.Options = Options;
    if (OnShow) OnShow(this);
    bool ok = ActiveBackend()->FileDialog(r);
    if (ok) {
        std::string name = r.FileName;
        if (!DefaultExt.empty() && !name.empty() && ExtractFileExt(ExtractFileName(name)).empty())
            name += "." + DefaultExt;
        FileName = name;
        FilterIndex = r.FilterIndex;
    }
    if (OnClose) OnClose(this);
    return ok;
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT flags) {
    return Application->MessageBox(text ? text : "", caption ? caption : "Error", flags);
}
