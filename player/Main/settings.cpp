// Dorlin.ini: reading the settings at start and writing them back when the window closes.
#include "platform/classlib/application.h"
#include "platform/registry/profile.h"
#include "platform/win/statedir.h"
#include "platform/classlib/inifiles.h"
#include "player/DefaultSkin.h"
#include "player/Main.h"

void TForm1::LoadSettings() {
    dorlin::ExeDir = dorlin::ProgramFolder;
    // A first start installs the default skin (there is no other skin here to start with).
    if (!FileExists(dorlin::ExeDir + "Default\\skin.ini")) dorlin::InstallDefaultSkin(dorlin::ExeDir + "Default\\");
    TIniFile ini(dorlin::ExeDir + "Dorlin.ini");

    dorlin::StrToEQValues(ini.ReadString("Genel", "EQ", "0,0,0,0,0,0,0,0,0,0,"), EQ, [](const std::string& m) {
        Application->MessageBox(m, "", MB_OK | MB_ICONERROR);
    });
    UseEQ = ini.ReadBool("Genel", "UseEQ", true);
    SkinDir = ini.ReadString("Genel", "Skin", dorlin::ExeDir + "Default\\");
    FGenelRead = true;

    ini.ReadSection("EQ_DATA", dorlin::PresetNames);
    // A playlist path may hold "=": each line is read up to its last "=".
    TStringList lines;
    ini.ReadSectionValues("Musics", &lines);
    FPlayList->Clear();
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string line = lines.Get(i);
        const std::size_t eq = line.rfind('=');
        const std::string path = eq == std::string::npos ? line : line.substr(0, eq);
        if (!path.empty() && FPlayList->IndexOf(path) < 0) FPlayList->Add(path);
    }
    FMusicsRead = true;

    FPlayList->Index = ini.ReadInteger("Genel", "Sarki", 0);
    ApplyEqualizer();
}

void TForm1::SaveSettings() {
    const std::string file = dorlin::ExeDir + "Dorlin.ini";
    TIniFile ini(file);
    profile::FileUpdate batch(file);
    if (FGenelRead) {
        ini.WriteString("Genel", "Skin", SkinDir);
        ini.WriteInteger("Genel", "Sarki", FPlayList->Index - 1);
        ini.WriteString("Genel", "EQ", dorlin::EQValuesToStr(EQ));
        ini.WriteBool("Genel", "UseEQ", UseEQ);
    }
    if (FMusicsRead) ini.EraseSection("Musics");
    if (!batch.Commit()) throw EIniFileException(Format("Unable to write to %s", {file}));
    if (!FMusicsRead) return;
    // The playlist goes last, as lines of its own: a path may hold "=", which no key of the
    // profile functions may, and is read back up to the last "=".
    const std::string local = win::LocalPath(file);
    std::string text;
    win::ReadFile(local, text);
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    text += "[Musics]\r\n";
    for (int i = 0; i < FPlayList->Count(); ++i) {
        const std::string& path = FPlayList->Get(i);
        if (path.find_first_of("\r\n") != std::string::npos) continue;  // no file has such a name
        text += path + "=\r\n";
    }
    if (!win::WriteFileAtomic(local, text, 0644)) throw EIniFileException(Format("Unable to write to %s", {file}));
}
