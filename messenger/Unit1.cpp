#include "messenger/Unit1.h"

#include <climits>

#include "messenger/FormParts.h"
#include "messenger/NewsFile.h"
#include "messenger/SiteConfig.h"
#include "messenger/StoredState.h"
#include "messenger/TrayIcon.h"
#include "messenger/Unit10.h"
#include "messenger/Unit12.h"
#include "messenger/Unit13.h"
#include "messenger/Unit15.h"
#include "messenger/Unit17.h"
#include "messenger/Unit2.h"
#include "messenger/Unit3.h"
#include "messenger/Unit4.h"
#include "messenger/Unit5.h"
#include "messenger/Unit7.h"
#include "messenger/Unit9.h"
#include "platform/codepage/cp1254.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/registry.h"
#include "platform/win/shellapi.h"
#include "transport/HTTPGet.h"
#include "transport/INetDetector.h"

using messenger::NewPart;

TForm1* Form1 = nullptr;

namespace {

constexpr UINT kAskFlags = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;

// Characters 1 and 2 of a stored number are the country code, 3 to 5 the operator prefix, 6 to the end
// the subscriber digits.
std::string CountryOf(const std::string& number) { return Copy(number, 1, 2); }
std::string PrefixOf(const std::string& number) { return Copy(number, 3, 3); }
std::string SubscriberOf(const std::string& number) { return Copy(number, 6, INT_MAX); }

}  // namespace

TMenuItem* TForm1::AddItem(TMenuItem* parent, const char* name, const std::string& caption,
                           void (TForm1::*handler)(TObject*)) {
    auto* item = NewPart<TMenuItem>(this, name);
    item->Caption = caption;
    if (handler) item->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    parent->Add(item);
    return item;
}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form1");
    SetCaption("Tolvar[a] 1.81");
    SetBounds(0, 0, 169, 305);
    BorderIcons = biSystemMenu | biMinimize;

    // Menus first: the list refers to its context menu.
    PopupMenu2 = NewPart<TPopupMenu>(this, "PopupMenu2");
    PopupMenu2->OnPopup = [this](TObject* s) { PopupMenu2Popup(s); };
    MesajYolla1 = AddItem(PopupMenu2->Items(), "MesajYolla1", "SMS &YOLLA", &TForm1::MesajYolla1Click);
    MesajYolla1->Enabled = false;
    YeniCEPEkle1 = AddItem(PopupMenu2->Items(), "YeniCEPEkle1", "CEP Ekle", &TForm1::YeniCEPEkle1Click);
    CEPSil1 = AddItem(PopupMenu2->Items(), "CEPSil1", "CEP Sil", &TForm1::CEPSil1Click);
    CEPSil1->Enabled = false;
    CEPDzenle1 = AddItem(PopupMenu2->Items(), "CEPDzenle1", "CEP Düzenle"_w, &TForm1::CEPDzenle1Click);
    CEPDzenle1->Enabled = false;

    PopupMenu1 = NewPart<TPopupMenu>(this, "PopupMenu1");
    N1 = AddItem(PopupMenu1->Items(), "N1", "Aç"_w, &TForm1::N1Click);
    N4 = AddItem(PopupMenu1->Items(), "N4", "-");
    Servisler1 = AddItem(PopupMenu1->Items(), "Servisler1", "&Servis Girişleri"_w, &TForm1::Servisler1Click);
    N5 = AddItem(PopupMenu1->Items(), "N5", "-");
    k1 = AddItem(PopupMenu1->Items(), "k1", "&Çıkış"_w, &TForm1::k1Click);

    MainMenu1 = NewPart<TMainMenu>(this, "MainMenu1");
    TMenuItem* root = MainMenu1->Items();
    Ayarlar1 = AddItem(root, "Ayarlar1", "Ayarlar");
    Servisler2 = AddItem(Ayarlar1, "Servisler2", "Servis Girişleri"_w, &TForm1::Servisler2Click);
    ProgramAyarl1 = AddItem(Ayarlar1, "ProgramAyarl1", "Ayarlar");
    ProgramAyarlar1 = AddItem(ProgramAyarl1, "ProgramAyarlar1", "&SMS Ayarları"_w, &TForm1::ProgramAyarlar1Click);
    KullancAyarlar1 =
        AddItem(ProgramAyarl1, "KullancAyarlar1", "&Kullanıcı Ayarları"_w, &TForm1::KullancAyarlar1Click);
    N6 = AddItem(ProgramAyarl1, "N6", "-");
    Kullanc1 = AddItem(ProgramAyarl1, "Kullanc1", "&Kullanıcı Girişi"_w, &TForm1::Kullanc1Click);
    N7 = AddItem(ProgramAyarl1, "N7", "-");
    GemiiTemizle1 = AddItem(ProgramAyarl1, "GemiiTemizle1", "Geçmiş'i Temizle"_w, &TForm1::GemiiTemizle1Click);
    GemiiAKAPAT1 = AddItem(ProgramAyarl1, "GemiiAKAPAT1", "Geçmiş'i Aktif Yap"_w, &TForm1::GemiiAKAPAT1Click);
    GemiiAKAPAT1->Checked = true;
    CEPListesi1 = AddItem(Ayarlar1, "CEPListesi1", "CEP Listesi", &TForm1::CEPListesi1Click);
    CEPEKLE1 = AddItem(CEPListesi1, "CEPEKLE1", "CEP EKLE", &TForm1::CEPEKLE1Click);
    CEPSil2 = AddItem(CEPListesi1, "CEPSil2", "CEP Sil", &TForm1::CEPSil2Click);
    CEPSil2->Enabled = false;
    CEPDzenle2 = AddItem(CEPListesi1, "CEPDzenle2", "CEP Düzenle"_w, &TForm1::CEPDzenle2Click);
    CEPDzenle2->Enabled = false;
    N3 = AddItem(CEPListesi1, "N3", "-");
    CEPListesiniKaydet1 =
        AddItem(CEPListesi1, "CEPListesiniKaydet1", "Listeyi Kaydet", &TForm1::CEPListesiniKaydet1Click);
    ListeYkle1 = AddItem(CEPListesi1, "ListeYkle1", "Liste Yükle"_w, &TForm1::ListeYkle1Click);
    k2 = AddItem(Ayarlar1, "k2", "-");
    k3 = AddItem(Ayarlar1, "k3", "&Çıkış"_w, &TForm1::k3Click);
    N55Haknda1 = AddItem(root, "N55Haknda1", "Yardım"_w);
    Hakknda1 = AddItem(N55Haknda1, "Hakknda1", "&Hakkında"_w, &TForm1::Hakknda1Click);
    nerileriniz1 = AddItem(N55Haknda1, "nerileriniz1", "Önerileriniz"_w, &TForm1::nerileriniz1Click);
    N55Hakknda1 = AddItem(N55Haknda1, "N55Hakknda1", "&Marendo Sitesi", &TForm1::N55Hakknda1Click);
    Menu = MainMenu1;

    Label1 = NewPart<TLabel>(this, "Label1");
    Label1->SetCaption(storedstate::DefaultUser);

    ListBox1 = NewPart<TListBox>(this, "ListBox1");
    ListBox1->SetAlign(alClient);
    ListBox1->Style = lbOwnerDrawFixed;
    ListBox1->ItemHeight = 15;
    ListBox1->Color = 16776697;
    ListBox1->ParentColor = false;
    ListBox1->SetPopupMenu(PopupMenu2);
    ListBox1->OnClick = [this](TObject* s) { ListBox1Click(s); };
    ListBox1->OnDblClick = [this](TObject* s) { ListBox1DblClick(s); };

    ListBox2 = NewPart<TListBox>(this, "ListBox2");
    ListBox2->SetVisible(false);

    Memo1 = NewPart<TMemo>(this, "Memo1");
    Memo1->SetVisible(false);

    StatusBar1 = NewPart<TStatusBar>(this, "StatusBar1");
    TStatusPanel* panel = StatusBar1->Panels()->Add();
    panel->SetWidth(50);
    panel->SetText("SMS Listesi : GENEL");

    taskbar = NewPart<TTrayIcon>(this, "taskbar");
    taskbar->SetHint("Marendo Tolvar 1.8");
    taskbar->PopupMenu = PopupMenu1;
    taskbar->OnDblClick = [this](TObject* s) { taskbarDblClick(s); };

    // The connectivity watcher ticks from now on; the send and ready-message windows read Online,
    // and coming online starts the news check.
    INetDetector1 = NewPart<TINetDetector>(this, "INetDetector1");
    INetDetector1->SetEnabled(true);
    INetDetector1->SetDispatchInterval(1000);
    INetDetector1->OnChanged = [this](TObject* s) { INetDetector1Changed(s); };

    HTTPGet1 = NewPart<THTTPGet>(this, "HTTPGet1");
    HTTPGet1->AcceptTypes = "*/*";
    HTTPGet1->Agent = "Brenwick HTTPGet";
    HTTPGet1->BinaryData = false;
    HTTPGet1->URL = siteconfig::MakerUrl(siteconfig::NewsPath);
    HTTPGet1->UseCache = false;
    HTTPGet1->FileName = news::FileName;
    HTTPGet1->WaitThread = false;
    HTTPGet1->MaxSize = news::MaxSize;
    HTTPGet1->OnDoneFile = [this](TObject* s, const std::string& f, int n) { HTTPGet1DoneFile(s, f, n); };

    SaveDialog1 = NewPart<TSaveDialog>(this, "SaveDialog1");
    SaveDialog1->DefaultExt = "ini";
    SaveDialog1->FileName = "tolvar.ini";
    SaveDialog1->Filter = "Ayar Dosyaları|*.ini"_w;

    OpenDialog1 = NewPart<TOpenDialog>(this, "OpenDialog1");
    OpenDialog1->DefaultExt = "ini";
    OpenDialog1->FileName = "tolvar.ini";
    OpenDialog1->Filter = "Ayar Dosyalrı|*.ini"_w;

    ApplicationEvents1 = NewPart<TApplicationEvents>(this, "ApplicationEvents1");
    ApplicationEvents1->OnMinimize = [this](TObject* s) { ApplicationEvents1Minimize(s); };

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
}

void TForm1::FormCreate(TObject*) {
    TIniFile ini(storedstate::MainIniName);
    storedstate::ReadBook(ini, ListBox1->Items(), ListBox2->Items());
}

void TForm1::FormShow(TObject*) {
    TRegistry reg;
    if (reg.OpenKey(storedstate::ProgramKey, true) && reg.ValueExists("GecmisAktif"))
        GemiiAKAPAT1->Checked = reg.ReadBool("GecmisAktif");
}

void TForm1::FormClose(TObject*, TCloseAction& Action) {
    Action = caNone;
    ExitProgram();
}

void TForm1::ListBox1Click(TObject*) {
    const int index = ListBox1->ItemIndex();
    if (index < 0 || index >= ListBox2->Items()->Count()) return UpdateContactCommands();
    const std::string name = ListBox1->Items()->Get(index);
    const std::string number = ListBox2->Items()->Get(index);
    Form2->Panel1->SetCaption(name + "-" + number);
    Form5->Edit1->SetText(name);
    Form5->Edit2->SetText(CountryOf(number));
    Form5->ComboBox2->SetItemIndex(Form5->ComboBox2->Items()->IndexOf(PrefixOf(number)));
    Form5->Edit3->SetText(SubscriberOf(number));
    StatusBar1->Panels()->Items(0)->SetText(name + " seçildi."_w);
    UpdateContactCommands();
}

bool TForm1::ContactSelected() const {
    const int index = ListBox1->ItemIndex();
    return index >= 0 && index < ListBox1->Items()->Count() && index < ListBox2->Items()->Count();
}

void TForm1::UpdateContactCommands() {
    const bool selected = ContactSelected();
    CEPSil2->Enabled = selected;
    CEPDzenle2->Enabled = selected;
    MesajYolla1->Enabled = selected;
    CEPSil1->Enabled = selected;
    CEPDzenle1->Enabled = selected;
}

void TForm1::ListBox1DblClick(TObject*) { Form2->Show(); }

void TForm1::PopupMenu2Popup(TObject*) {
    const bool selected = ListBox1->ItemIndex() >= 0;
    PopupMenu2->Items()->Items(0)->Enabled = selected;
    PopupMenu2->Items()->Items(2)->Enabled = selected;
    PopupMenu2->Items()->Items(3)->Enabled = selected;
}

void TForm1::CEPListesi1Click(TObject*) {
    const bool selected = ListBox1->ItemIndex() >= 0;
    CEPSil2->Enabled = selected;
    CEPDzenle2->Enabled = selected;
}

void TForm1::MesajYolla1Click(TObject*) { Form2->Show(); }
void TForm1::YeniCEPEkle1Click(TObject*) { Form4->Show(); }
void TForm1::CEPEKLE1Click(TObject*) { Form4->Show(); }
void TForm1::CEPSil1Click(TObject*) { DeleteSelected(); }
void TForm1::CEPSil2Click(TObject*) { DeleteSelected(); }
void TForm1::CEPDzenle1Click(TObject*) { EditSelected(); }
void TForm1::CEPDzenle2Click(TObject*) { EditSelected(); }

void TForm1::EditSelected() {
    if (!ContactSelected()) return UpdateContactCommands();
    const int index = ListBox1->ItemIndex();
    const std::string name = ListBox1->Items()->Get(index);
    const std::string number = ListBox2->Items()->Get(index);
    Form5->Edit1->SetText(name);
    Form5->Edit2->SetText(CountryOf(number));
    Form5->Edit3->SetText(SubscriberOf(number));
    Form5->ComboBox2->SetText(PrefixOf(number));
    Form5->Show();
}

void TForm1::DeleteSelected() {
    if (!ContactSelected()) return UpdateContactCommands();
    const int index = ListBox1->ItemIndex();
    const std::string name = ListBox1->Items()->Get(index);
    const std::string text = "\"" + name + "\"" + " isimli kişiyi silmek istiyor musunuz?"_w;
    if (Application->MessageBox(text, "Silme", kAskFlags) == IDNO) return;
    const std::string user = Label1->Caption();
    if (FRegistryUserCurrent) {
        TRegistry reg;
        if (reg.OpenKey(storedstate::UserKeyPath(user) + "\\Liste", false) && reg.ValueExists(name) &&
            !reg.DeleteValue(name))
            throw ERegistryException(Format("Failed to delete value '%s'", {name}));
    }
    ListBox2->Items()->Delete(index);
    ListBox1->Items()->Delete(index);
    UpdateContactCommands();
}

void TForm1::Servisler1Click(TObject*) { Form3->Show(); }
void TForm1::Servisler2Click(TObject*) { Form3->Show(); }

void TForm1::ProgramAyarlar1Click(TObject*) {
    Form9->Panel1->Hide();
    Form9->Panel2->Show();
    Form9->Show();
}

void TForm1::KullancAyarlar1Click(TObject*) { Form13->Show(); }
void TForm1::Kullanc1Click(TObject*) { Form17->Show(); }

void TForm1::GemiiTemizle1Click(TObject*) {
    if (Application->MessageBox("Geçmiş mesajlarınız silinecek. Devam etmek istiyor musunuz?"_w,
                                "Geçmişi Temizle"_w, kAskFlags) == IDNO)
        return;
    // The stored history of a registry user goes first: when it cannot be deleted, the lists stay
    // as they are. The default user's history has no key (a registry user named GENEL is another user).
    if (FRegistryUserCurrent) {
        const std::string key = storedstate::UserKeyPath(Label1->Caption()) + "\\Gecmis";
        TRegistry reg;
        if (reg.KeyExists(key) && !reg.DeleteKey(key))
            throw ERegistryException(Format("Failed to delete key %s", {key}));
    }
    Form15->ListBox1->Items()->Clear();
    Form15->ListBox2->Items()->Clear();
    Form15->UpdateButtons();
}

void TForm1::GemiiAKAPAT1Click(TObject*) {
    if (!GemiiAKAPAT1->Checked) {
        GemiiAKAPAT1->Checked = true;
    } else if (Application->MessageBox(
                   "Bundan sonra yazdığınız mesajlar Geçmişte kaydedilmeyecek?\nDevam etmek istiyor musunuz?"_w,
                   "Geçmiş"_w, kAskFlags) == IDYES) {
        GemiiAKAPAT1->Checked = false;
    }
    TRegistry reg;
    reg.OpenKey(storedstate::ProgramKey, true);
    reg.WriteBool("GecmisAktif", GemiiAKAPAT1->Checked);
}

void TForm1::CEPListesiniKaydet1Click(TObject*) {
    if (!SaveDialog1->Execute()) return;
    storedstate::SaveListFile(SaveDialog1->FileName, ListBox1->Items(), ListBox2->Items(), Form15->ListBox1->Items(),
                              Form3->Edit4->Text());
}

void TForm1::ListeYkle1Click(TObject*) {
    if (!OpenDialog1->Execute()) return;
    ListBox1->Items()->Clear();
    ListBox2->Items()->Clear();
    TIniFile ini(OpenDialog1->FileName);
    storedstate::ReadBook(ini, ListBox1->Items(), ListBox2->Items());
    UpdateContactCommands();
}

void TForm1::Hakknda1Click(TObject*) { Form10->Show(); }
void TForm1::nerileriniz1Click(TObject*) { Form12->Show(); }

void TForm1::N55Hakknda1Click(TObject*) {
    ShellExecuteA(Handle(), "open", siteconfig::MakerSiteUrl, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void TForm1::N1Click(TObject*) {
    Application->Restore();
    Show();
}
void TForm1::k1Click(TObject*) { ExitProgram(); }
void TForm1::k3Click(TObject*) { ExitProgram(); }

void TForm1::taskbarDblClick(TObject*) {
    Application->Restore();
    Show();
    taskbar->Hide();
}

// The window hides only when the icon is really there to bring it back.
void TForm1::ApplicationEvents1Minimize(TObject*) {
    taskbar->Show();
    if (taskbar->InTaskbar()) Hide();
}

void TForm1::INetDetector1Changed(TObject*) {
    if (INetDetector1->Online()) HTTPGet1->StartDownload();
}

void TForm1::HTTPGet1DoneFile(TObject*, const std::string&, int) {
    const news::TNews n = news::ReadNews(news::FileName, siteconfig::MakerSiteUrl);
    if (!n.Newer()) return;
    Form7->Memo1->SetText(n.Yazi1);
    Form7->Memo2->SetText(n.Yazi2);
    Form7->Label1->SetCaption(n.Url1);
    Form7->Label2->SetCaption(n.Url2);
    Form7->Show();
}

void TForm1::MakeRegistryUserCurrent(const std::string& user) {
    Label1->SetCaption(user);
    FRegistryUserCurrent = true;
}

void TForm1::ExitProgram() {
    if (Application->MessageBox("Gerçekten çıkmak istiyormusunuz?"_w, "Çıkış"_w, kAskFlags) == IDNO) return;
    TRegistry reg;
    reg.OpenKey(storedstate::UsersKey, true);
    const std::string user = Label1->Caption();
    if (FRegistryUserCurrent)
        storedstate::WriteRegistryUserState(reg, user, ListBox1->Items(), ListBox2->Items(),
                                            Form15->ListBox1->Items());
    else
        storedstate::WriteDefaultUserState(ListBox1->Items(), ListBox2->Items(), Form15->ListBox1->Items());
    Application->Halt(0);
}
