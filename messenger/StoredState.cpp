#include "messenger/StoredState.h"

#include <algorithm>

#include "platform/classlib/sysutils.h"
#include "platform/registry/profile.h"

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

// The number a name stands for when it is written as IntToStr writes it ("7", never "07"), else -1.
int Numbered(const std::string& name, const std::string& prefix = "") {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
        !cp1254::SameFolded(name.substr(0, prefix.size()), prefix))
        return -1;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 1 && digits[0] == '0') return -1;
    for (char c : digits)
        if (c < '0' || c > '9') return -1;
    return std::stoi(digits);
}

// The highest number among the names (-1 when none is numbered).
int HighestNumbered(const TStrings& list, const std::string& prefix = "") {
    int highest = -1;
    for (int i = 0; i < list.Count(); ++i) highest = std::max(highest, Numbered(list.Get(i), prefix));
    return highest;
}

[[noreturn]] void IniWriteFailed(const std::string& fileName) {
    throw EIniFileException(Format("Unable to write to %s", {fileName}));
}

}  // namespace

std::string EncodeIniText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += ' ';
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

void ReadBook(TCustomIniFile& ini, TStrings* names, TStrings* numbers) {
    TStringList sections;
    ini.ReadSections(&sections);
    const int count =
        std::min({ini.ReadInteger(kBookSection, "toplam", 0), HighestNumbered(sections), MostEntries});
    for (int n = 1; n <= count; ++n) {
        const std::string section = IntToStr(n);
        names->Add(ini.ReadString(section, "isim", ""));
        numbers->Add(ini.ReadString(section, "numara", ""));
    }
}

void ReadHistory(TCustomIniFile& ini, TStrings* texts) {
    TStringList keys;
    ini.ReadSection(kHistorySection, &keys);
    const int count = std::min(
        {ini.ReadInteger(kHistorySection, "Toplam", 0), HighestNumbered(keys, "Mesaj") + 1, MostEntries});
    for (int i = 0; i < count; ++i) texts->Add(ini.ReadString(kHistorySection, "Mesaj" + IntToStr(i), ""));
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

void SaveListFile(const std::string& fileName, const TStrings* names, const TStrings* numbers,
                  const TStrings* history, const std::string& otomatikIsim) {
    profile::FileUpdate update(fileName);
    TIniFile ini(fileName);
    WriteListFile(ini, names, numbers, history, otomatikIsim);
    if (!update.Commit()) IniWriteFailed(fileName);
}

void WriteDefaultUserState(const TStrings* names, const TStrings* numbers, const TStrings* history) {
    profile::FileUpdate update(MainIniName);
    TIniFile ini(MainIniName);
    WriteBookAndHistory(ini, names, numbers, history);
    if (!update.Commit()) IniWriteFailed(MainIniName);
}

std::string UserKeyPath(const std::string& user) { return "\\" + UsersKey + "\\" + user; }

void WriteRegistryUserState(TRegistry& reg, const std::string& user, const TStrings* names,
                            const TStrings* numbers, const TStrings* history) {
    const std::string userKey = UserKeyPath(user);
    const std::string firstValue = names->Count() > 0 ? names->Get(0) : std::string("gecmis0");
    auto failed = [&](const std::string& value) {
        return ERegistryException(Format("Failed to set data for '%s'", {value}));
    };
    // Opens the user's subkey and removes every value it holds, the last first (the registry
    // keeps values in creation order: taking each from the end moves none of the others).
    auto openEmptied = [&](const std::string& sub) {
        if (!reg.OpenKey(userKey + "\\" + sub, true)) throw failed(firstValue);
        TStringList stored;
        reg.GetValueNames(&stored);
        for (int i = stored.Count() - 1; i >= 0; --i)
            if (!reg.DeleteValue(stored.Get(i))) throw failed(stored.Get(i));
    };

    reg::ChangeSet changes;
    openEmptied("Liste");
    for (int i = 0; i < names->Count(); ++i) reg.WriteString(names->Get(i), NumberAt(numbers, i));
    openEmptied("Gecmis");
    for (int i = 0; i < history->Count(); ++i) reg.WriteString("gecmis" + IntToStr(i), history->Get(i));
    if (changes.Commit() != ERROR_SUCCESS) throw failed(firstValue);
}

void ReadRegistryUserState(const std::string& user, TStrings* names, TStrings* numbers,
                           TStrings* historyNames, TStrings* history) {
    const std::string userKey = UserKeyPath(user);
    TRegistry reg;
    auto open = [&](const std::string& sub) {
        if (!reg.OpenKey(userKey + "\\" + sub, true))
            throw ERegistryException(Format("Failed to create key %s", {userKey + "\\" + sub}));
    };

    TStringList bookNames, bookNumbers, textNames, texts;
    reg::ChangeSet changes;
    open("Liste");
    reg.GetValueNames(&bookNames);
    for (int i = 0; i < bookNames.Count(); ++i) bookNumbers.Add(reg.ReadString(bookNames.Get(i)));
    open("Gecmis");
    reg.GetValueNames(&textNames);
    for (int i = 0; i < textNames.Count(); ++i) texts.Add(reg.ReadString("gecmis" + IntToStr(i)));
    reg.CloseKey();
    if (changes.Commit() != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to create key %s", {userKey + "\\Liste"}));

    names->Assign(&bookNames);
    numbers->Assign(&bookNumbers);
    historyNames->Assign(&textNames);
    history->Assign(&texts);
}

void ReadUsers(TStrings* users, TStrings* passwords) {
    TRegistry reg;
    TStringList names, secrets;
    if (reg.OpenKey("\\" + UsersKey, true)) reg.GetKeyNames(&names);
    for (int i = 0; i < names.Count(); ++i)
        secrets.Add(reg.OpenKey(UserKeyPath(names.Get(i)), false) ? reg.ReadString("Sifre") : std::string());
    users->Assign(&names);
    passwords->Assign(&secrets);
}

}  // namespace storedstate
