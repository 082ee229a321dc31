// Dorlin.ini: reading the settings at start and writing them back when the window closes.
#include <unordered_set>

#include "platform/classlib/application.h"
#include "platform/classlib/inifiles.h"
#include "platform/codepage/cp1254.h"
#include "platform/registry/profile.h"
#include "platform/win/statedir.h"
#include "player/DefaultSkin.h"
#include "player/Main.h"

namespace dorlin {

std::string PlaylistPathOf(const std::string& Line) {
    const std::size_t eq = Line.rfind('=');
    return eq == std::string::npos ? Line : Line.substr(0, eq);
}

void ReadStoredSettings(TCustomIniFile& Ini, const std::string& ExeDir, TStoredSettings& Out,
                        const std::function<void(const std::string&)>& Report) {
    StrToEQValues(Ini.ReadString("Genel", "EQ", "0,0,0,0,0,0,0,0,0,0,"), Out.EQ, Report);
    Out.UseEQ = Ini.ReadBool("Genel", "UseEQ", true);
    Out.SkinDir = Ini.ReadString("Genel", "Skin", ExeDir + "Default\\");
    TStringList names;
    Ini.ReadSection("EQ_DATA", &names);
    Out.Presets.clear();
    for (int i = 0; i < names.Count(); ++i) Out.Presets.push_back(names.Get(i));
    TStringList lines;
    Ini.ReadSectionValues("Musics", &lines);
    Out.Playlist.clear();
    // Paths met so far, folded as the list's lookups compare them: one look-up per line.
    std::unordered_set<std::string> seen;
    for (int i = 0; i < lines.Count(); ++i) {
        std::string path = PlaylistPathOf(lines.Get(i));
        if (path.empty() || !seen.insert(cp1254::Folded(path)).second) continue;
        Out.Playlist.push_back(std::move(path));
    }
    Out.Sarki = Ini.ReadInteger("Genel", "Sarki", 0);
}

}  // namespace dorlin

void TForm1::LoadSettings() {
    dorlin::ExeDir = dorlin::ProgramFolder;
    // A first start installs the default skin (there is no other skin here to start with).
    if (!FileExists(dorlin::ExeDir + "Default\\skin.ini")) dorlin::InstallDefaultSkin(dorlin::ExeDir + "Default\\");
    // A save a killed run did not finish leaves its temporary file beside Dorlin.ini.
    win::RemoveStaleTemporaries(win::LocalPath(dorlin::ExeDir));
    TIniFile ini(dorlin::ExeDir + "Dorlin.ini");
    dorlin::TStoredSettings s;
    s.EQ = EQ;
    dorlin::ReadStoredSettings(ini, dorlin::ExeDir, s, [](const std::string& m) {
        Application->MessageBox(m, "", MB_OK | MB_ICONERROR);
    });
    EQ = s.EQ;
    UseEQ = s.UseEQ;
    SkinDir = s.SkinDir;
    FGenelRead = true;
    dorlin::PresetNames->Clear();
    for (const auto& n : s.Presets) dorlin::PresetNames->Add(n);
    FPlayList->Clear();
    for (const auto& p : s.Playlist) FPlayList->Add(p);
    FMusicsRead = true;
    // Stored unchanged: the next-song step at show time adds one.
    FPlayList->Index = s.Sarki;
    ApplyEqualizer();
}

void TForm1::SaveSettings() {
    const std::string file = dorlin::ExeDir + "Dorlin.ini";
    TIniFile ini(file);
    profile::FileUpdate batch(file);
    if (FGenelRead) {
        ini.WriteString("Genel", "Skin", SkinDir);
        // A place before the first entry (a stored one at the bottom of the int range too) is
        // written as -1: the next start opens the first entry from either.
        ini.WriteInteger("Genel", "Sarki", FPlayList->Index > 0 ? FPlayList->Index - 1 : -1);
        ini.WriteString("Genel", "EQ", dorlin::EQValuesToStr(EQ));
        ini.WriteBool("Genel", "UseEQ", UseEQ);
    }
    if (FMusicsRead) {
        ini.EraseSection("Musics");
        // The playlist is lines of its own: a path may hold "=", which no key of the profile
        // functions may, and is read back up to the last "=".
        std::string lines;
        for (int i = 0; i < FPlayList->Count(); ++i) {
            const std::string& path = FPlayList->Get(i);
            // No file has a name with a line break, and no full path reads as a section header.
            const std::size_t first = path.find_first_not_of(" \t");
            if (path.find_first_of("\r\n") != std::string::npos || (first != std::string::npos && path[first] == '['))
                continue;
            lines += path + "=";
            lines += '\0';
        }
        lines += '\0';
        if (!WritePrivateProfileSectionA("Musics", lines.c_str(), file.c_str()))
            throw EIniFileException(Format("Unable to write to %s", {file}));
    }
    // One write of the whole file: it holds all of the new settings or stays as it was.
    if (!batch.Commit()) throw EIniFileException(Format("Unable to write to %s", {file}));
}
