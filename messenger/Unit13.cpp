#include "messenger/Unit13.h"

#include <exception>

#include "messenger/FormParts.h"
#include "messenger/StoredState.h"
#include "messenger/Unit1.h"
#include "messenger/Unit14.h"
#include "messenger/Unit16.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/graphics.h"
#include "platform/classlib/registry.h"

using messenger::NewBitBtn;
using messenger::NewCaptioned;
using messenger::NewPart;

TForm13* Form13 = nullptr;

TForm13::TForm13(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form13");
    SetCaption("Tolvar[Kullanıcı Ayarları]"_w);
    BorderStyle = bsToolWindow;
    BorderIcons = 0;
    FormStyle = fsStayOnTop;
    Position = poDesktopCenter;
    SetBounds(0, 0, 290, 300);

    GroupBox1 = NewCaptioned<TGroupBox>(this, "GroupBox1", "Kullanıcı Seçme"_w, {8, 8, 270, 170});
    ListBox1 = NewPart<TListBox>(this, "ListBox1", GroupBox1);
    ListBox1->SetBounds(8, 36, 130, 124);
    ListBox1->ParentColor = false;
    ListBox1->Color = clWhite;
    ListBox1->OnClick = [this](TObject* s) { ListBox1Click(s); };
    Button1 = NewCaptioned<TButton>(this, "Button1", "Kullanıcı Ekle"_w, {150, 36, 110, 25}, GroupBox1);
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button2 = NewCaptioned<TButton>(this, "Button2", "Kullanıcı'yı Sil"_w, {150, 68, 110, 25}, GroupBox1);
    Button2->SetEnabled(false);
    Button2->OnClick = [this](TObject* s) { Button2Click(s); };
    Label1 = NewCaptioned<TLabel>(this, "Label1", "Kullanıcı Adı:"_w, {8, 18, 100, 13}, GroupBox1);
    Button5 = NewCaptioned<TButton>(this, "Button5", "Şifre Değiştir"_w, {150, 100, 110, 25}, GroupBox1);
    Button5->SetEnabled(false);
    Button5->OnClick = [this](TObject* s) { Button5Click(s); };

    RadioButton1 = NewCaptioned<TRadioButton>(this, "RadioButton1", "Tolvar'yi sadece 1 kişi kullanıyor."_w,
                                              {8, 186, 270, 17});
    RadioButton1->SetChecked(true);
    RadioButton1->OnClick = [this](TObject* s) { RadioButton1Click(s); };
    RadioButton2 = NewCaptioned<TRadioButton>(this, "RadioButton2",
                                              "Tolvar'yi birden daha fazla kişi kullanıyor."_w, {8, 206, 270, 17});
    RadioButton2->OnClick = [this](TObject* s) { RadioButton2Click(s); };

    BitBtn1 = NewBitBtn(this, "BitBtn1", bkOK, "Ayarları Kaydet"_w, {8, 236, 120, 25});
    BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
    BitBtn2 = NewBitBtn(this, "BitBtn2", bkCancel, "Vazgeç"_w, {158, 236, 120, 25});
    BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };

    ListBox2 = NewPart<TListBox>(this, "ListBox2");
    ListBox2->SetVisible(false);

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
}

void TForm13::FormCreate(TObject*) {
    // A choice that cannot be read is reported once the users are listed, so they still are.
    std::exception_ptr choiceError;
    try {
        TRegistry reg;
        if (reg.OpenKey(storedstate::ProgramKey, true) && reg.ValueExists("1kisi")) {
            if (reg.ReadBool("1kisi"))
                RadioButton1->SetChecked(true);
            else
                RadioButton2->SetChecked(true);
        }
    } catch (const ERegistryException&) {
        choiceError = std::current_exception();
    }
    storedstate::ReadUsers(ListBox1->Items(), ListBox2->Items());
    if (choiceError) std::rethrow_exception(choiceError);
}

void TForm13::FormShow(TObject*) { UpdateControls(); }
void TForm13::RadioButton1Click(TObject*) { UpdateControls(); }
void TForm13::RadioButton2Click(TObject*) { UpdateControls(); }
void TForm13::ListBox1Click(TObject*) { UpdateControls(); }

void TForm13::UpdateControls() {
    const bool several = RadioButton2->Checked();
    const bool selected = several && ListBox1->ItemIndex() >= 0;
    ListBox1->SetEnabled(several);
    ListBox1->Color = several ? clWhite : clInactiveBorder;
    Button1->SetEnabled(several);
    Button2->SetEnabled(selected);
    Button5->SetEnabled(selected);
}

void TForm13::Button1Click(TObject*) { Form14->Show(); }

void TForm13::Button2Click(TObject*) {
    const int index = ListBox1->ItemIndex();
    if (index < 0) return UpdateControls();
    const std::string user = ListBox1->Items()->Get(index);
    // The user logged in now would come back at the exit, without a password, with the book in memory.
    if (Form1->RegistryUserCurrent() && SameText(user, Form1->Label1->Caption())) {
        ShowMessage("Giriş yapılmış olan kullanıcı silinemez."_w);
        return;
    }
    if (Application->MessageBox("Kullanıcıyı silmek istiyor musunuz?"_w, "Çıkış"_w,
                                MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    // The password, the book and the history go together, or nothing goes.
    {
        TRegistry reg;
        reg::ChangeSet changes;
        reg.OpenKey("\\" + storedstate::UsersKey, true);
        const std::string key = storedstate::UserKeyPath(user);
        if ((reg.KeyExists(key) && !reg.DeleteKey(key)) || changes.Commit() != ERROR_SUCCESS)
            throw ERegistryException(Format("Failed to delete key %s", {key}));
    }
    ListBox2->Items()->Delete(index);
    ListBox1->Items()->Delete(index);
    UpdateControls();
}

void TForm13::Button5Click(TObject*) {
    if (ListBox1->ItemIndex() < 0) return UpdateControls();
    Form16->Show();
}

void TForm13::BitBtn1Click(TObject*) {
    if (RadioButton1->Checked()) {
        TRegistry reg;
        reg.OpenKey(storedstate::ProgramKey, true);
        reg.WriteBool("1kisi", true);
        Close();
        return;
    }
    if (ListBox1->Items()->Count() == 0) {
        ShowMessage("Lütfen Bir kullanıcı Ekleyin"_w);
        return;
    }
    {
        TRegistry reg;
        reg::ChangeSet changes;
        if (!reg.OpenKey(storedstate::ProgramKey, true))
            throw ERegistryException(Format("Failed to set data for '%s'", {"1kisi"}));
        reg.WriteBool("1kisi", RadioButton1->Checked());
        for (int i = 0; i < ListBox1->Items()->Count(); ++i) {
            const std::string key = storedstate::UserKeyPath(ListBox1->Items()->Get(i));
            if (!reg.OpenKey(key, true)) throw ERegistryException(Format("Failed to create key %s", {key}));
            reg.WriteString("Sifre", i < ListBox2->Items()->Count() ? ListBox2->Items()->Get(i) : std::string());
            reg.CloseKey();
        }
        if (changes.Commit() != ERROR_SUCCESS)
            throw ERegistryException(Format("Failed to set data for '%s'", {"1kisi"}));
    }
    Close();
}

void TForm13::BitBtn2Click(TObject*) { Close(); }
