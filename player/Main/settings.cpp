// Dorlin.ini: reading the settings at start and writing them back when the window closes.
#include "platform/classlib/application.h"
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
    TIniFile ini(dorlin::ExeDir + "Dorlin.ini");
    if (FGenelRead) {
        ini.WriteString("Genel", "Skin", SkinDir);
        ini.WriteInteger("Genel", "Sarki", FPlayList->Index - 1);
        ini.WriteString("Genel", "EQ", dorlin::EQValuesToStr(EQ));
        ini.WriteBool("Genel", "UseEQ", UseEQ);
    }
    if (FMusicsRead) {
        ini.EraseSection("Musics");
        for (int i = 0; i < FPlayList->Count(); ++i) ini.WriteString("Musics", FPlayList->Get(i), "");
    }
}
