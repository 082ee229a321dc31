// TForm1: the main window's parts, its create, show, close and destroy steps, the track control,
// the skin's and the decoder's handlers and the menu.
#include "player/Main.h"

#include <memory>

#include "platform/classlib/application.h"
#include "platform/codepage/cp1254.h"
#include "platform/win/shellapi.h"
#include "platform/win/winuser.h"
#include "player/AboutFrm.h"
#include "player/Sarkilar.h"

TForm1* Form1 = nullptr;

namespace dorlin {

std::string ExeDir;
std::string ProgramFolder = "c:\\Dorlin\\";
TStringList* PresetNames = nullptr;

std::string HintText(const std::string& ID) {
    static const std::pair<const char*, const char*> hints[] = {
        {"BUTTON_EJECT", "Dosya Aç"},          {"BUTTON_PLAY", "Başla"},
        {"BUTTON_PAUSE", "Bekle"},             {"BUTTON_STOP", "Dur"},
        {"BUTTON_NEXT", "Sonraki Şarkı"},      {"BUTTON_PREV", "Önceki Şarkı"},
        {"BUTTON_NEXTTRACK", "İleri"},         {"BUTTON_PREVTRACK", "Geri"},
        {"BUTTON_EXIT", "Çıkış"},              {"BUTTON_MINIMIZE", "Simge Durumu"},
        {"BUTTON_PLAYLIST", "Şarkı Listesi"},  {"BUTTON_WEB", "Dorlin Web Sitesi"},
        {"BUTTON_ABOUT", "Dorlin Hakkında"},   {"BUTTON_EQUALIZER", "Ekolayzer"},
    };
    for (const auto& [id, text] : hints)
        if (ID == id) return cp1254::FromUtf8(text);
    return "";
}

}  // namespace dorlin

namespace {

std::string T(const char* utf8) { return cp1254::FromUtf8(utf8); }

std::string TwoDigits(unsigned a, unsigned b) { return Format("%.2d:%.2d", {static_cast<int>(a), static_cast<int>(b)}); }

// The file name without its folder, cut before its first ".".
std::string SongTitleOf(const std::string& FileName) {
    std::string name = ExtractFileName(FileName);
    const std::size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TMenuItem* TForm1::Item(TMenuItem* parent, const char* name, const std::string& caption, void (TForm1::*handler)(TObject*)) {
    auto* item = new TMenuItem(this);
    item->SetName(name);
    item->Caption = caption;
    if (handler) item->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    parent->Add(item);
    return item;
}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
    SetName("Form1");
    BorderStyle = bsNone;
    SetBounds(0, 0, 395, 129);

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->SetName("PopupMenu1");
    TMenuItem* root = PopupMenu1->Items();
    Dorlin1 = Item(root, "Dorlin1", "Dorlin", &TForm1::Dorlin1Click);
    N1 = Item(root, "N1", "-", nullptr);
    EkranYkle1 = Item(root, "EkranYkle1", T("Ekran &Yükle"), &TForm1::EkranYkle1Click);
    Ekolayzer1 = Item(root, "Ekolayzer1", "Ekolayzer", &TForm1::Ekolayzer1Click);
    N6 = Item(root, "N6", "-", nullptr);
    arkListesi1 = Item(root, "arkListesi1", T("Şarkı Listesi"), &TForm1::arkListesi1Click);
    ark1 = Item(root, "ark1", T("Şarkı"), nullptr);
    A1 = Item(ark1, "A1", T("Aç"), &TForm1::A1Click);
    N2 = Item(ark1, "N2", "-", nullptr);
    Bala1 = Item(ark1, "Bala1", T("Başla"), &TForm1::Bala1Click);
    Bekle1 = Item(ark1, "Bekle1", "Bekle", &TForm1::Bekle1Click);
    Dur1 = Item(ark1, "Dur1", "Dur", &TForm1::Dur1Click);
    N3 = Item(ark1, "N3", "-", nullptr);
    leri1 = Item(ark1, "leri1", T("İleri"), &TForm1::leri1Click);
    Geri1 = Item(ark1, "Geri1", "Geri", &TForm1::Geri1Click);
    Sonrakiark1 = Item(ark1, "Sonrakiark1", T("Sonraki Şarkı"), &TForm1::Sonrakiark1Click);
    ncekiark1 = Item(ark1, "ncekiark1", T("Önceki Şarkı"), &TForm1::ncekiark1Click);
    N4 = Item(root, "N4", "-", nullptr);
    N5 = Item(root, "N5", "Simge Durumu", &TForm1::N5Click);
    k1 = Item(root, "k1", T("Çıkış"), &TForm1::k1Click);

    Skin = new TSkinForm(this);
    Skin->SetName("Skin");
    Skin->SetParent(this);
    Skin->SetAlign(alClient);
    Skin->SetPopupMenu(PopupMenu1);
    Skin->SetShowHint(true);
    Skin->SetParentShowHint(false);
    Skin->SetKeyColor(clWhite);
    Skin->SetTolerance(clBlack);
    Skin->OnMouseDownNotify = [this](const std::string& id, TMouseButton b, TShiftState s, int x, int y) { SkinMouseDownNotify(id, b, s, x, y); };
    Skin->OnMouseUpNotify = [this](const std::string& id, TMouseButton b, TShiftState s, int x, int y) { SkinMouseUpNotify(id, b, s, x, y); };
    Skin->OnMouseMoveNotify = [this](const std::string& id, TShiftState s, int x, int y) { SkinMouseMoveNotify(id, s, x, y); };
    Skin->OnTrackBarNotify = [this](const std::string& id, int p) { SkinTrackBarNotify(id, p); };

    Player = new TXaudioPlayer(this);
    Player->SetName("Player");
    Player->SetPriority(4);
    Player->OnNotifyNack = [this](TObject* s, BYTE c, std::int16_t code) { PlayerNotifyNack(s, c, code); };
    Player->OnNotifyPlayerState = [this](TObject* s, int st) { PlayerNotifyPlayerState(s, st); };
    Player->OnNotifyInputPosition = [this](TObject* s, std::uint32_t o, std::uint32_t r) { PlayerNotifyInputPosition(s, o, r); };
    Player->OnNotifyInputTimecode = [this](TObject* s, BYTE h, BYTE m, BYTE sec, BYTE f) { PlayerNotifyInputTimecode(s, h, m, sec, f); };
    Player->OnNotifyInputDuration = [this](TObject* s, std::uint32_t d) { PlayerNotifyInputDuration(s, d); };
    Player->OnNotifyInputState = [this](TObject* s, int st) { PlayerNotifyInputState(s, st); };

    OpenDlg = new TOpenDialog(this);
    OpenDlg->SetName("OpenDlg");
    OpenDlg->DefaultExt = "MP3";
    OpenDlg->Filter = dorlin::kAudioFilter;

    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnDestroy = [this](TObject* s) { FormDestroy(s); };
}

TForm1::~TForm1() {
    BeforeDestruction();
    // The decoder goes with the window's components, when the form's own destructor has run.
    delete FPlayList;
    FPlayList = nullptr;
    delete dorlin::PresetNames;
    dorlin::PresetNames = nullptr;
    if (Form1 == this) Form1 = nullptr;
}

// ---- Create, show, close, destroy ------------------------------------------------------------------

void TForm1::FormCreate(TObject*) {
    Loaded = false;
    EQ.fill(0);
    UseEQ = true;
    delete dorlin::PresetNames;
    dorlin::PresetNames = new TStringList();
    delete FPlayList;
    FPlayList = new TPlayList();
    LoadSettings();
}

void TForm1::FormShow(TObject*) {
    Skin->LoadSkin(SkinDir + "skin.ini");
    AutoPlay = false;
    NextSong();
    AutoPlay = true;
}

void TForm1::FormClose(TObject*, TCloseAction&) {
    SaveSettings();
    FClosed = true;
}

void TForm1::FormDestroy(TObject*) {
    Player->OutputReset();
    Player->Exit();
}

// ---- Track control ---------------------------------------------------------------------------------

void TForm1::ResetDisplay() {
    Skin->SetTrackBarPos("TRACKBAR_POS", 0);
    Skin->SetText("TEXT_POS", "00:00");
    Skin->SetText("TEXT_LEN", "00:00");
}

void TForm1::OpenSong(const std::string& FileName) {
    if (FPlayList->IndexOf(FileName) < 0) FPlayList->Add(FileName);
    if (Player->InputOpen(FileName) == XA_SUCCESS) ++FOpensPending;
    Loaded = true;
    ResetDisplay();
    Skin->SetText("TEXT_SONG", "");
    FSongTitle = SongTitleOf(FileName);
    Skin->SetText("TEXT_SONG", FSongTitle);
}

void TForm1::NextSong() {
    if (FPlayList->Count() == 0) return;
    FPlayList->Next();
    OpenSong(FPlayList->Current);
    if (AutoPlay) Player->Play();
}

void TForm1::PrevSong() {
    if (FPlayList->Count() == 0) return;
    FPlayList->Prev();
    OpenSong(FPlayList->Current);
    if (AutoPlay) Player->Play();
}

void TForm1::StopSong() {
    Player->Stop();
    Skin->SetTrackBarPos("TRACKBAR_POS", 0);
    Skin->SetText("TEXT_POS", "00:00");
}

void TForm1::OpenFileDialog() {
    if (!OpenDlg->Execute()) return;
    if (Loaded) StopSong();
    OpenSong(OpenDlg->FileName);
}

void TForm1::SeekForward() {
    if (!Loaded) return;
    const int p = Skin->GetTrackBarPos("TRACKBAR_POS");
    if (p >= 90) return NextSong();
    Skin->SetTrackBarPos("TRACKBAR_POS", p + 10);
    Player->InputSeek((p + 10) * 4, 400);
}

void TForm1::SeekBackward() {
    if (!Loaded) return;
    const int p = Skin->GetTrackBarPos("TRACKBAR_POS");
    if (p <= 10) return PrevSong();
    Skin->SetTrackBarPos("TRACKBAR_POS", p - 10);
    Player->InputSeek((p - 10) * 4, 400);
}

void TForm1::ShowPlaylist() {
    std::unique_ptr<TSarkiForm> editor(new TSarkiForm(this));
    editor->AfterConstruction();
    editor->Liste->Items()->Assign(FPlayList);
    const std::int32_t index = FPlayList->Index;
    if (editor->ShowModal() == mrOk) FPlayList->Assign(editor->Liste->Items());
    FPlayList->Index = index;
    editor->BeforeDestruction();
}

void TForm1::PlayFromList(const std::string& FileName) {
    const int at = FPlayList->IndexOf(FileName);
    if (at >= 0 && at + 1 == FPlayList->Index) return;
    FPlayList->Index = at + 1;
    FSongTitle = FileName;
    OpenSong(FileName);
    Player->Play();
}

void TForm1::OpenWebSite() { ShellExecuteA(Handle(), "open", dorlin::kWebSite, nullptr, nullptr, SW_SHOWNORMAL); }

void TForm1::ShowAbout() {
    std::unique_ptr<TAboutForm> about(new TAboutForm(this));
    about->AfterConstruction();
    about->ShowModal();
    about->BeforeDestruction();
}

void TForm1::EndOfTrack() {
    if (FEndHandled) return;
    FEndHandled = true;
    NextSong();
}

// ---- Skin handlers -----------------------------------------------------------------------------------

void TForm1::SkinMouseDownNotify(const std::string& ID, TMouseButton, TShiftState, int, int) {
    Skin->SetText("TEXT_HINT", dorlin::HintText(UpperCase(ID)));
}

void TForm1::SkinMouseMoveNotify(const std::string& ID, TShiftState Shift, int X, int Y) {
    SkinMouseDownNotify(ID, mbLeft, Shift, X, Y);
}

void TForm1::SkinMouseUpNotify(const std::string& ID, TMouseButton, TShiftState, int, int) {
    const std::string id = UpperCase(ID);
    if (id == "BUTTON_EJECT") OpenFileDialog();
    else if (id == "BUTTON_PLAY") { if (Loaded) Player->Play(); }
    else if (id == "BUTTON_PAUSE") { if (Loaded) Player->Pause(); }
    else if (id == "BUTTON_STOP") { if (Loaded) StopSong(); }
    else if (id == "BUTTON_NEXT") NextSong();
    else if (id == "BUTTON_PREV") PrevSong();
    else if (id == "BUTTON_NEXTTRACK") SeekForward();
    else if (id == "BUTTON_PREVTRACK") SeekBackward();
    else if (id == "BUTTON_EXIT") Close();
    else if (id == "BUTTON_MINIMIZE") SendMessageA(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (id == "BUTTON_PLAYLIST") ShowPlaylist();
    else if (id == "BUTTON_WEB") OpenWebSite();
    else if (id == "BUTTON_ABOUT") ShowAbout();
    else if (id == "BUTTON_EQUALIZER") { if (Loaded) ShowEqualizer(); }
    // The window may be gone (closed by BUTTON_EXIT) only after the message loop runs again.
    Skin->SetText("TEXT_HINT", "");
}

void TForm1::SkinTrackBarNotify(const std::string& ID, int Position) {
    const std::string id = UpperCase(ID);
    if (id == "TRACKBAR_POS") {
        Player->InputSeek(Position * 4, 400);
    } else if (id == "TRACKBAR_VOLUME") {
        Player->SetOutputVolume(255, 255, Position);
        Player->SetOutputVolume(255, Position, 255);
    } else if (id == "TRACKBAR_BALANCE") {
        Player->SetOutputVolume(Position, 255, 255);
    }
}

// ---- Decoder handlers --------------------------------------------------------------------------------

void TForm1::PlayerNotifyInputDuration(TObject*, std::uint32_t Duration) {
    if (Stale()) return;
    const std::uint32_t d = Duration % 3600;
    FLengthText = TwoDigits(d / 60, d % 60);
    Skin->SetText("TEXT_LEN", FLengthText);
}

void TForm1::PlayerNotifyInputTimecode(TObject*, BYTE, BYTE Minutes, BYTE Seconds, BYTE) {
    if (Stale()) return;
    Skin->SetText("TEXT_POS", TwoDigits(Minutes, Seconds));
}

void TForm1::PlayerNotifyInputPosition(TObject*, std::uint32_t Offset, std::uint32_t) {
    if (Stale()) return;
    if (Offset == 400) return EndOfTrack();
    Skin->SetTrackBarPos("TRACKBAR_POS", static_cast<int>(Offset / 4));
}

void TForm1::PlayerNotifyNack(TObject*, BYTE Command, std::int16_t) {
    if (Command == 7 && FOpensPending > 0) --FOpensPending;
    // A refusal that arrives after the window closed has no one left to tell.
    if (FClosed) return;
    if (Command == 3) ShowMessage(T("Müzik Dosyası Çalınamıyor"));
    else if (Command == 7) ShowMessage(T("Dosya Açılamadı"));
}

void TForm1::PlayerNotifyPlayerState(TObject*, int State) {
    if (Stale()) return;
    if (State == 3) return EndOfTrack();
    // A track playing again (the next one, or this one once more) can end again.
    if (State == 1) FEndHandled = false;
}

void TForm1::PlayerNotifyInputState(TObject*, int State) {
    if (State == XA_INPUT_STATE_OPEN && FOpensPending > 0) --FOpensPending;
}

// ---- Menu --------------------------------------------------------------------------------------------

void TForm1::Dorlin1Click(TObject*) { ShowAbout(); }
void TForm1::Ekolayzer1Click(TObject*) { ShowEqualizer(); }
void TForm1::arkListesi1Click(TObject*) { ShowPlaylist(); }
void TForm1::A1Click(TObject*) { OpenFileDialog(); }
void TForm1::Bala1Click(TObject*) {
    if (Loaded) Player->Play();
}
void TForm1::Bekle1Click(TObject*) {
    if (Loaded) Player->Pause();
}
void TForm1::Dur1Click(TObject*) {
    if (Loaded) Player->Stop();
}
void TForm1::leri1Click(TObject*) { SeekForward(); }
void TForm1::Geri1Click(TObject*) { SeekBackward(); }
void TForm1::Sonrakiark1Click(TObject*) { NextSong(); }
void TForm1::ncekiark1Click(TObject*) { PrevSong(); }
void TForm1::N5Click(TObject*) { SendMessageA(Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0); }
void TForm1::k1Click(TObject*) { Close(); }

void TForm1::EkranYkle1Click(TObject*) {
    OpenDlg->DefaultExt = "Ini";
    OpenDlg->Filter = dorlin::kSkinFilter;
    struct Restore {
        TOpenDialog* d;
        ~Restore() {
            d->DefaultExt = "Mp3";
            d->Filter = dorlin::kAudioFilter;
        }
    } restore{OpenDlg};
    if (!OpenDlg->Execute()) return;
    Skin->LoadSkin(OpenDlg->FileName);
    SkinDir = ExtractFilePath(OpenDlg->FileName);
    Skin->SetText("TEXT_LEN", FLengthText);
    Skin->SetText("TEXT_SONG", FSongTitle);
}
