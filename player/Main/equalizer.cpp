// The equalizer's arithmetic and the main window's gains: conversions between gains and track-bar
// positions, the gain list of Dorlin.ini, the decoder's record, and the presets.
#include <cfenv>
#include <cmath>
#include <memory>

#include "platform/classlib/application.h"
#include "platform/classlib/inifiles.h"
#include "platform/codepage/cp1254.h"
#include "player/EQTools.h"
#include "player/EQualizer.h"
#include "player/InputBox.h"
#include "player/Main.h"

namespace dorlin {

namespace {

// Rounds to the nearest integer, a half to the even neighbour.
int RoundHalfEven(double v) {
    const double r = std::nearbyint(v);  // the default rounding mode is to nearest, ties to even
    return static_cast<int>(r);
}

}  // namespace

int PosFromGain(int Gain) { return 50 - RoundHalfEven(Gain / 80.0 * 50.0); }
int GainFromPos(int Position) { return RoundHalfEven((50 - Position) * 1.6); }

void StrToEQValues(const std::string& Text, TEQValues& Values, const std::function<void(const std::string&)>& Report) {
    std::string rest = Text;
    std::size_t slot = 0;
    while (!rest.empty() && slot < Values.size()) {
        const std::size_t comma = rest.find(',');
        const std::string item = comma == std::string::npos ? rest : rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
        int v = 0;
        if (!TryStrToInt(item, v)) {
            v = 0;
            if (Report) Report(Format("'%s' is not a valid integer value", {item}));
        }
        Values[slot++] = v;
    }
}

std::string EQValuesToStr(const TEQValues& Values) {
    std::string s;
    for (std::size_t i = 0; i < Values.size(); ++i) s += (i ? "," : "") + IntToStr(Values[i]);
    return s;
}

XA_EqualizerInfo EqualizerRecord(const TEQValues& Values) {
    XA_EqualizerInfo r{};
    for (int band = 0; band < 32; ++band) {
        const int gain = band < 27 ? band / 3 : 9;
        r.left[band] = static_cast<std::int8_t>(static_cast<std::uint8_t>(Values[gain] & 0xFF));
        r.right[band] = r.left[band];
    }
    return r;
}

}  // namespace dorlin

void TForm1::SetEQValues(const TEQValues& Values) { EQ = Values; }

void TForm1::SetUseEQ(bool Flag) {
    UseEQ = Flag;
    ApplyEqualizer();
}

void TForm1::ApplyEqualizer() {
    if (UseEQ) {
        const XA_EqualizerInfo rec = dorlin::EqualizerRecord(EQ);
        Player->SetCodecEqualizer(&rec);
    } else {
        Player->SetCodecEqualizer(nullptr);
    }
    Player->GetCodecEqualizer();
}

void TForm1::ShowEqualizer() {
    std::unique_ptr<TEQForm> form(new TEQForm(this));
    form->AfterConstruction();
    form->SkinDir = SkinDir;
    form->SetValues(EQ);
    form->SetUseEQ(UseEQ);
    form->ShowModal();
    form->BeforeDestruction();
}

namespace {

// A preset name that the settings file can keep as a key and give back unchanged.
bool ValidPresetName(const std::string& name) {
    if (name.empty() || name.find('=') != std::string::npos) return false;
    if (name[0] == '[' || name[0] == ';') return false;
    if (std::isspace(static_cast<unsigned char>(name.front())) || std::isspace(static_cast<unsigned char>(name.back())))
        return false;
    for (unsigned char c : name)
        if (c < 0x20) return false;
    return true;
}

}  // namespace

void TForm1::SaveEQPreset() {
    std::string name;
    if (!InputQuery(cp1254::FromUtf8("Equalizer Kaydet"), cp1254::FromUtf8("Equalizer Adı"), name)) return;
    if (name.empty()) return;
    if (!ValidPresetName(name)) {
        Application->MessageBox(cp1254::FromUtf8("Geçersiz ad: \"") + name +
                                    cp1254::FromUtf8("\" (\"=\" içeremez, \"[\" ya da \";\" ile ya da boşlukla başlayıp bitemez)"),
                                "", MB_OK | MB_ICONWARNING);
        return;
    }
    TIniFile ini(dorlin::ExeDir + "Dorlin.ini");
    ini.WriteString("EQ_DATA", name, dorlin::EQValuesToStr(EQ));
    // The new name is offered by the picker at once.
    if (dorlin::PresetNames->IndexOf(name) < 0) dorlin::PresetNames->Add(name);
}

void TForm1::LoadEQPreset() {
    std::unique_ptr<TEQFrm> picker(new TEQFrm(this));
    picker->AfterConstruction();
    picker->ListBox1->Items()->Assign(dorlin::PresetNames);
    if (picker->ShowModal() == mrOk && picker->ListBox1->ItemIndex() >= 0) {
        const bool flag = UseEQ;
        const std::string name = picker->ListBox1->Items()->Get(picker->ListBox1->ItemIndex());
        TIniFile ini(dorlin::ExeDir + "Dorlin.ini");
        const std::string text = ini.ReadString("EQ_DATA", name, dorlin::EQValuesToStr(EQ));
        dorlin::StrToEQValues(text, EQ, [](const std::string& m) { Application->MessageBox(m, "", MB_OK | MB_ICONERROR); });
        if (TEQForm::Instance) {
            TEQForm::Instance->SetValues(EQ);
            TEQForm::Instance->SetUseEQ(flag);
        }
        ApplyEqualizer();
    }
    picker->BeforeDestruction();
}
