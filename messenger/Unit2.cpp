#include "messenger/Unit2.h"

#include "messenger/FormParts.h"
#include "messenger/GatewayForm.h"
#include "messenger/Unit1.h"
#include "messenger/Unit11.h"
#include "messenger/Unit15.h"
#include "messenger/Unit3.h"
#include "messenger/Unit9.h"
#include "platform/classlib/application.h"
#include "platform/codepage/cp1254.h"
#include "transport/INetDetector.h"

using messenger::NewPart;

TForm2* Form2 = nullptr;

namespace {

constexpr int kLimits[] = {160, 145, 145, 144};

TSpeedButton* NewButton(TForm2* form, const char* name, const std::string& caption, bool flat) {
    auto* b = NewPart<TSpeedButton>(form, name);
    b->SetCaption(caption);
    b->Flat = flat;
    return b;
}

// Turkcell's operator prefixes, the only ones the SuperOnline form sends to.
bool IsTurkcell(const std::string& prefix) {
    return prefix == "532" || prefix == "533" || prefix == "535" || prefix == "536";
}

}  // namespace

TForm2::TForm2(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form2");
    SetCaption("Tolvar [Mesaj Yolla]"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poMainFormCenter;
    SetClientWidth(221);
    SetClientHeight(231);

    Panel1 = NewPart<TPanel>(this, "Panel1");
    Panel1->SetAlign(alTop);
    Panel1->SetCaption("Tolvar");
    Label3 = NewPart<TLabel>(this, "Label3");
    Label3->SetCaption("Mesajınız: "_w);
    Memo1 = NewPart<TMemo>(this, "Memo1");
    Memo1->MaxLength = 160;
    Memo1->ScrollBars = ssVertical;
    Memo1->Hint = "Mesajınızı Yazın..."_w;
    Memo1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { Memo1KeyDown(s, k, sh); };
    Edit1 = NewPart<TEdit>(this, "Edit1");
    Edit1->SetText("160");
    Edit1->SetEnabled(false);
    Edit1->Hint = "Kalan Karakter Sayısı..."_w;
    Label7 = NewPart<TLabel>(this, "Label7");
    Label7->SetCaption("Servis:");
    ComboBox2 = NewPart<TComboBox>(this, "ComboBox2");
    ComboBox2->Style = csDropDownList;
    ComboBox2->Items()->Add("Tolvar -Normal(160 Kar.-Rek.sız)"_w);
    ComboBox2->Items()->Add("Tolvar-Normal2(145 Kar-Rek.sız)"_w);
    ComboBox2->Items()->Add("Tolvar-Flash(145 kar-Reklamsız)"_w);
    ComboBox2->Items()->Add("SuperOnline(144 kar-Reklamsız)"_w);
    ComboBox2->Hint = "Servis Seçin..";
    ComboBox2->OnChange = [this](TObject* s) { ComboBox2Change(s); };
    Label2 = NewPart<TLabel>(this, "Label2");
    Label2->SetCaption("IP");
    Label2->SetVisible(false);
    SpeedButton1 = NewButton(this, "SpeedButton1", "&Yolla", false);
    SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
    SpeedButton2 = NewButton(this, "SpeedButton2", "&İptal"_w, false);
    SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
    SpeedButton3 = NewButton(this, "SpeedButton3", "Hazır Mesaj"_w, true);
    SpeedButton3->OnClick = [this](TObject* s) { SpeedButton3Click(s); };
    SpeedButton4 = NewButton(this, "SpeedButton4", "Geçmiş Mesaj"_w, true);
    SpeedButton4->OnClick = [this](TObject* s) { SpeedButton4Click(s); };

    a = NewPart<THttpClient>(this, "a");
    a->ProxyPort = "80";
    a->NoCache = false;
    a->SetMultiThreaded(false);
    a->OnRequestDone = [this](TObject* s, THttpRequest k, WORD e) { aRequestDone(s, k, e); };
    a->OnCookie = [this](TObject* s, const std::string& d, bool& acc) { aCookie(s, d, acc); };

    SetActiveControl(Memo1);
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& act) { FormClose(s, act); };
    OnHide = [this](TObject*) { FMainHold.reset(); };
}

int TForm2::Limit(int index) { return index >= 0 && index < 4 ? kLimits[index] : 0; }

int TForm2::SignatureLength() const { return static_cast<int>(Form9->Edit1->Text().size()); }

void TForm2::FormCreate(TObject*) {}

void TForm2::FormShow(TObject*) {
    Edit1->SetText(IntToStr(160 - SignatureLength()));
    ComboBox2->SetItemIndex(0);  // by code: the field keeps the length the last change gave it
    Label2->SetCaption(messenger::DrawDottedAddress(255, 0));
    if (!FMainHold) FMainHold.emplace(Form1);
}

void TForm2::FormClose(TObject*, TCloseAction&) { FMainHold.reset(); }

void TForm2::ComboBox2Change(TObject*) {
    const int index = ComboBox2->ItemIndex();
    const int limit = Limit(index);
    if (!limit) return;
    Edit1->SetText(IntToStr(limit));
    Memo1->MaxLength = limit;
    const int text = static_cast<int>(Memo1->Text().size());
    Edit1->SetText(IntToStr(index == 3 ? limit - text : limit - SignatureLength() - text));
    if (text > limit) Memo1->SetText(Memo1->Text().substr(0, static_cast<size_t>(limit)));
}

void TForm2::Memo1KeyDown(TObject*, WORD&, TShiftState) {
    Edit1->SetText(IntToStr(Memo1->MaxLength - static_cast<int>(Memo1->Text().size())));
}

bool TForm2::Dispatch() {
    switch (ComboBox2->ItemIndex()) {
        case 0: return messenger::SendViaNormal();
        case 1: return messenger::SendViaNormal2();
        case 2: return messenger::SendViaFlash();
        case 3: {
            if (Form3->ComboBox2->Text().empty() || Form3->Edit1->Text().empty() || Form3->Edit3->Text().empty()) {
                ShowMessage("Superonline Ayarlarınızı Yapmamışsınız"_w);
                return false;
            }
            const std::string number = Form1->ListBox2->Items()->Get(Form1->ListBox1->ItemIndex());
            if (!IsTurkcell(Copy(number, 3, 3))) {
                ShowMessage("Sadece Turkcell e SMS Yollayabilirsiniz");
                return false;
            }
            return messenger::SendViaSuperOnline();
        }
        default: return true;
    }
}

void TForm2::SpeedButton1Click(TObject*) {
    if (!Form1->INetDetector1->Online()) {
        ShowMessage("İnternete Bağlı Değilsiniz!"_w);
        return;
    }
    Close();
    // A send the gateway's answer judged failed and a refused SuperOnline send keep the text and
    // leave the history alone; a failed post raises past both steps.
    if (!Dispatch()) return;
    if (Form1->GemiiAKAPAT1->Checked) {
        TStrings* history = Form15->ListBox1->Items();
        const std::string text = Memo1->Text();
        if (history->IndexOf(text) < 0) history->Add(text);  // the list's search ignores case
        Form15->ListBox1->SetItemIndex(-1);
    }
    Memo1->Clear();
}

void TForm2::SpeedButton2Click(TObject*) {
    Memo1->Clear();
    Close();
}

void TForm2::SpeedButton3Click(TObject*) {
    if (Form1->INetDetector1->Online()) Form11->Show();
    else ShowMessage("İnternete bağlı değilsiniz"_w);
}

void TForm2::SpeedButton4Click(TObject*) { Form15->Show(); }

void TForm2::aRequestDone(TObject*, THttpRequest, WORD Error) {
    if (Error == 0) return;
    ShowMessage("MESAJ GÖNDERİLEMEDİ"_w);
    a->Abort();
    Form1->ListBox1->SetEnabled(true);
}

void TForm2::aCookie(TObject*, const std::string&, bool& Accept) { Accept = true; }
