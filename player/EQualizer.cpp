// The equalizer window's steps.
#include "player/EQualizer.h"

#include "platform/classlib/sysutils.h"

TEQForm* TEQForm::Instance = nullptr;

namespace {

std::string BarID(int i) { return "TRACKBAR_EQ" + std::to_string(i + 1); }

bool HasBar(TSkinForm* skin, const std::string& id) {
    for (const auto& b : skin->TrackBars())
        if (b.ID == id) return true;
    return false;
}

}  // namespace

TEQForm::TEQForm(TForm1* AOwner) : TForm(AOwner), FMain(AOwner) {
    SetName("EQForm");
    BorderStyle = bsNone;
    SetBounds(0, 0, 305, 138);
    Skin = new TSkinForm(this);
    Skin->SetName("Skin");
    Skin->SetParent(this);
    Skin->SetAlign(alClient);
    Skin->SetShowHint(true);
    Skin->SetParentShowHint(false);
    Skin->SetKeyColor(clWhite);
    Skin->SetTolerance(clBlack);
    Skin->OnMouseUpNotify = [this](const std::string& id, TMouseButton b, TShiftState s, int x, int y) { SkinMouseUpNotify(id, b, s, x, y); };
    Skin->OnTrackBarNotify = [this](const std::string& id, int p) { SkinTrackBarNotify(id, p); };
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    Instance = this;
}

TEQForm::~TEQForm() {
    BeforeDestruction();
    if (Instance == this) Instance = nullptr;
}

void TEQForm::FormCreate(TObject*) { SkinDir.clear(); }

void TEQForm::FormShow(TObject*) {
    const std::string own = SkinDir + "Equalizer.ini";
    Skin->LoadSkin(FileExists(own) ? own : dorlin::ExeDir + "Default\\Equalizer.ini");
    UpdateControls();
}

void TEQForm::SetValues(const TEQValues& Gains) {
    for (int i = 0; i < 10; ++i) Positions[i] = dorlin::PosFromGain(Gains[i]);
    UpdateControls();
}

void TEQForm::SetUseEQ(bool Flag) {
    UseEQ = Flag;
    Skin->SetButtonDown("BUTTON_EQUSE", Flag);
}

void TEQForm::UpdateControls() {
    for (int i = 0; i < 10; ++i) Skin->SetTrackBarPos(BarID(i), Positions[i]);
    Skin->SetButtonDown("BUTTON_EQUSE", UseEQ);
    Invalidate();
}

void TEQForm::SendGains() {
    TEQValues gains = FMain->EQ;
    for (int i = 0; i < 10; ++i) {
        if (!HasBar(Skin, BarID(i))) continue;
        Positions[i] = Skin->GetTrackBarPos(BarID(i));
        gains[i] = dorlin::GainFromPos(Positions[i]);
    }
    FMain->SetEQValues(gains);
    if (Skin->IndexOfHotArea("BUTTON_EQUSE") >= 0) UseEQ = Skin->GetButtonDown("BUTTON_EQUSE");
    FMain->SetUseEQ(UseEQ);
}

void TEQForm::SkinTrackBarNotify(const std::string&, int Position) {
    Skin->SetText("TEXT_VALUE", IntToStr(dorlin::GainFromPos(Position)));
    SendGains();
}

void TEQForm::SkinMouseUpNotify(const std::string& ID, TMouseButton, TShiftState, int, int) {
    Skin->SetText("TEXT_VALUE", "");
    const std::string id = UpperCase(ID);
    if (id == "BUTTON_EQUSE") {
        // The switch's new state (toggled by the skin at the press) is applied; no gain moved, so
        // the value display stays empty.
        SendGains();
    } else if (id == "BUTTON_EQSAVE") {
        FMain->SaveEQPreset();
    } else if (id == "BUTTON_EXIT") {
        Close();
    } else if (id == "BUTTON_EQLOAD") {
        FMain->LoadEQPreset();
    }
}
