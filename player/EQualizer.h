// TEQForm: the skinned equalizer window. Ten track bars show the gains (position 0 is +80, 50 is
// 0, 100 is -80); every move flows back to the main window at once and is applied to the decoder.
#pragma once

#include <array>
#include <string>

#include "platform/classlib/forms.h"
#include "player/Main.h"
#include "skin/SkinForm.h"

class TEQForm : public TForm {
public:
    explicit TEQForm(TForm1* AOwner);
    ~TEQForm() override;
    const char* ClassName() const override { return "TEQForm"; }

    TSkinForm* Skin;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void SkinTrackBarNotify(const std::string& ID, int Position);
    void SkinMouseUpNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SetValues(const TEQValues& Gains);
    void SetUseEQ(bool Flag);
    void UpdateControls();

    bool UseEQ = true;
    std::array<std::int32_t, 10> Positions{};
    std::string SkinDir;

    // The open equalizer window (the one the preset loader addresses), or nullptr.
    static TEQForm* Instance;

private:
    // The gains as the skin shows them: a band whose bar the skin lacks keeps its stored gain,
    // and a skin without the switch keeps the stored flag.
    void SendGains();
    TForm1* FMain;
};
