#include "platform/classlib/dialogs.h"

#include <string_view>

#include "platform/classlib/application.h"
#include "platform/classlib/backend.h"
#include "platform/classlib/cp1254.h"
#include "platform/win/statedir.h"

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

namespace {

// The parts of a name between its dividers (empty parts, as of a leading '/', left out).
std::vector<std::string_view> NameParts(std::string_view name, std::string_view dividers) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= name.size()) {
        size_t j = name.find_first_of(dividers, i);
        if (j == std::string_view::npos) j = name.size();
        if (j > i) parts.push_back(name.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

bool PartHeld(std::string_view part, bool typed) {
    std::string ignored;
    return cp1254::PathFromUtf8(part, ignored) && (typed || part.find('\\') == std::string_view::npos);
}

}  // namespace

bool ProgramFileName(const std::string& name, std::string& path, bool typed) {
    std::string held;
    if (cp1254::PathFromUtf8(name, held) && (typed || win::LocalPath(held) == name)) {
        path = held;
        return true;
    }
    // The outermost part at fault is the one to name: while a folder holds such characters,
    // renaming the file would not help.
    const std::vector<std::string_view> parts = NameParts(name, typed ? "/\\" : "/");
    size_t fault = parts.empty() ? 0 : parts.size() - 1;
    for (size_t i = 0; i < parts.size(); ++i)
        if (!PartHeld(parts[i], typed)) {
            fault = i;
            break;
        }
    const bool folder = fault + 1 < parts.size();
    const std::string part = cp1254::ShownUtf8(parts.empty() ? std::string_view(name) : parts[fault]);
    TMessageBoxRequest box;
    box.Caption = Application->Title;
    box.Text = "\"" + part + "\" " +
               cp1254::ToUtf8(folder ? "klasörünün adında bu programın kullanamadığı karakterler var:"_w
                                     : "dosyasının adında bu programın kullanamadığı karakterler var:"_w) +
               "\n" + cp1254::ShownUtf8(name) + "\n" +
               cp1254::ToUtf8(folder ? "Klasörün adını değiştirin ya da başka bir klasör seçin."_w
                                     : "Dosyanın adını değiştirin ya da başka bir dosya seçin."_w);
    box.TextUtf8 = true;
    box.Flags = MB_OK | MB_ICONWARNING;
    ActiveBackend()->MessageBox(box);
    return false;
}
