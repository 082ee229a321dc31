#include "messenger/StoredState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "platform/classlib/sysutils.h"
#include "platform/win/statedir.h"

namespace storedstate {

namespace {

const std::string kBookSection = "Ayarlar";
const std::string kHistorySection = "Mesaj";

void WriteCounts(TCustomIniFile& ini, const TStrings* names, const TStrings* history) {
    ini.WriteInteger(kBookSection, "Toplam", names->Count());
    ini.WriteInteger(kHistorySection, "Toplam", history->Count());
}

void WriteTexts(TCustomIniFile& ini, const TStrings* history) {
    for (int i = 0; i < history->Count(); ++i)
        ini.WriteString(kHistorySection, "Mesaj" + IntToStr(i), EncodeIniText(history->Get(i)));
}

// The number of contact i, or "" when the number list is shorter (it never is in the program).
std::string NumberAt(const TStrings* numbers, int i) {
    return i < numbers->Count() ? numbers->Get(i) : std::string();
}

struct TempFile {
    std::string path;
    ~TempFile() {
        if (!path.empty()) ::unlink(path.c_str());
    }
};

}  // namespace

std::string EncodeIniText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r' || c == '\n') {
            out += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string DecodeIniText(const std::string& stored) {
    std::string out;
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() && (stored[i + 1] == 'n' || stored[i + 1] == '\\')) {
            out += stored[i + 1] == 'n' ? std::string("\r\n") : std::string("\\");
            ++i;
        } else {
            out += stored[i];
        }
    }
    return out;
}

void ReadBook(TCustomIniFile& ini, TStrings* names, TStrings* numbers) {
    const int count = ini.ReadInteger(kBookSection, "toplam", 0);
    for (int n = 1; n <= count; ++n) {
        const std::string section = IntToStr(n);
        names->Add(ini.ReadString(section, "isim", ""));
        numbers->Add(ini.ReadString(section, "numara", ""));
    }
}

void ReadHistory(TCustomIniFile& ini, TStrings* texts) {
    const int count = ini.ReadInteger(kHistorySection, "Toplam", 0);
    for (int i = 0; i < count; ++i) texts->Add(DecodeIniText(ini.ReadString(kHistorySection, "Mesaj" + IntToStr(i), "")));
}

void WriteBookAndHistory(TCustomIniFile& ini, const TStrings* names, const TStrings* numbers,
                         const TStrings* history) {
    WriteCounts(ini, names, history);
    for (int i = 0; i < names->Count(); ++i) {
        const std::string section = IntToStr(i + 1);
        ini.WriteString(section, "isim", names->Get(i));
        ini.WriteString(section, "numara", NumberAt(numbers, i));
    }
    WriteTexts(ini, history);
}

void WriteListFile(TCustomIniFile& ini, const TStrings* names, const TStrings* numbers,
                   const TStrings* history, const std::string& otomatikIsim) {
    WriteCounts(ini, names, history);
    for (int i = 0; i < names->Count(); ++i) {
        const std::string section = IntToStr(i + 1);
        ini.WriteString(section, "isim", names->Get(i));
        ini.WriteString(section, "numara", NumberAt(numbers, i));
        ini.WriteString("Otomatik", "İsim"_w, otomatikIsim);
    }
    WriteTexts(ini, history);
}

void WriteDefaultUserState(const TStrings* names, const TStrings* numbers, const TStrings* history) {
    static std::atomic<unsigned> serial{0};
    const std::string dir = win::WindowsDir();
    const std::string target = dir + "/" + MainIniName;
    auto fail = [] { throw EIniFileException(Format("Unable to write to %s", {MainIniName})); };

    TempFile temp;
    temp.path = target + ".exit-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    unsigned mode = 0600;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 0777;
        std::string old;
        if (!win::ReadFile(target, old) || !win::WriteFileAtomic(temp.path, old, mode)) fail();
    }
    try {
        TIniFile ini(cp1254::FromUtf8(temp.path));
        WriteBookAndHistory(ini, names, numbers, history);
    } catch (const EIniFileException&) {
        fail();
    }
    std::string bytes;
    if (!win::ReadFile(temp.path, bytes) || !win::WriteFileAtomic(target, bytes, mode)) fail();
}

void WriteRegistryUserState(TRegistry& reg, const std::string& user, const TStrings* names,
                            const TStrings* numbers, const TStrings* history) {
    const std::string userKey = "\\" + UsersKey + "\\" + user;
    auto open = [&](const std::string& sub, const std::string& firstValue) {
        if (!reg.OpenKey(userKey + "\\" + sub, true))
            throw ERegistryException(Format("Failed to set data for '%s'", {firstValue}));
    };

    open("Liste", names->Count() > 0 ? names->Get(0) : std::string("Liste"));
    TStringList stored;
    reg.GetValueNames(&stored);
    for (int i = 0; i < stored.Count(); ++i) {
        const std::string name = stored.Get(i);
        bool inBook = false;
        for (int k = 0; k < names->Count() && !inBook; ++k) inBook = SameText(names->Get(k), name);
        if (!inBook && !reg.DeleteValue(name))
            throw ERegistryException(Format("Failed to set data for '%s'", {name}));
    }
    for (int i = 0; i < names->Count(); ++i) reg.WriteString(names->Get(i), NumberAt(numbers, i));

    open("Gecmis", "gecmis0");
    for (int i = 0; i < history->Count(); ++i) reg.WriteString("gecmis" + IntToStr(i), history->Get(i));
}

}  // namespace storedstate
