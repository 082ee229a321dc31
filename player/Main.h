// Dorlin's main window: the skinned player window, its playlist, the track control behind the
// skin's elements, the decoder's notifications, the window's menu, the equalizer gains and the
// settings file Dorlin.ini.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classlib/dialogs.h"
#include "platform/classlib/forms.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/menus.h"
#include "platform/classlib/strings.h"
#include "player/XaudioPlayer.h"
#include "skin/SkinForm.h"

// The playlist: full file paths, the current one and its 1-based place (0 before any). Lookups
// ignore case.
class TPlayList : public TStringList {
public:
    TPlayList();
    const char* ClassName() const override { return "TPlayList"; }
    // Copies the strings; Index := 0; Current := the first entry (empty for an empty list).
    void Assign(TPersistent* Source) override;
    // Index + 1 (or - 1), wrapping to the other end; Current follows.
    void Next();
    void Prev();
    std::string Current;
    std::int32_t Index = 0;
};

using TEQValues = std::array<std::int32_t, 10>;

namespace dorlin {

// The program's folder with a trailing backslash (a program path in the state folder), and the
// names of the saved equalizer presets, read at start.
extern std::string ExeDir;
extern TStringList* PresetNames;

// The folder ExeDir is set to when the settings are read.
extern std::string ProgramFolder;

constexpr const char* kAudioFilter =
    "MPEG Audio Dosyalar\xFD {*.mpg;*.mp1;*.mp2;*.mp3}|*.mpg;*.mp1;*.mp2;*.mp3|T\xFCm Dosyalar {*.*}|*.*";
constexpr const char* kSkinFilter = "Ekran Dosyalar\xFD {*.ini}|*.ini|T\xFCm Dosyalar {*.*}|*.*";
constexpr const char* kWebSite = "https://dorlin.example.org/";
constexpr const char* kMailAddress = "dorlin@example.org";

// Hint text of a skin element identifier (upper case); empty for any other.
std::string HintText(const std::string& ID);

// The equalizer's track-bar arithmetic (rounded to the nearest, a half to the even neighbour).
int PosFromGain(int Gain);
int GainFromPos(int Position);

// Parses a gain list into Values: items before each "," in turn, then what is left; only the
// first ten; fewer leave the rest as they were. An item that is not a number (an empty one too)
// reads as 0 and is reported through Report with the conversion error's text.
void StrToEQValues(const std::string& Text, TEQValues& Values, const std::function<void(const std::string&)>& Report);
std::string EQValuesToStr(const TEQValues& Values);

// What Dorlin.ini holds, as the main window reads it at start.
struct TStoredSettings {
    TEQValues EQ{};
    bool UseEQ = true;
    std::string SkinDir;
    std::int32_t Sarki = 0;
    std::vector<std::string> Presets;   // key names of EQ_DATA, in file order
    std::vector<std::string> Playlist;  // Musics, each line up to its last "=", without repeats
};
// Reads the settings (missing values take their defaults; ExeDir gives the default skin folder).
// A gain item that is not a number reads as 0 and is told to Report.
void ReadStoredSettings(TCustomIniFile& Ini, const std::string& ExeDir, TStoredSettings& Out,
                        const std::function<void(const std::string&)>& Report);
// The playlist path of one "key=value" line of Musics: up to its last "=".
std::string PlaylistPathOf(const std::string& Line);
// The decoder's record: gain i's low byte in its bands, the right channel a copy of the left.
XA_EqualizerInfo EqualizerRecord(const TEQValues& Values);

}  // namespace dorlin

class TForm1 : public TForm {
public:
    explicit TForm1(TComponent* AOwner);
    ~TForm1() override;
    const char* ClassName() const override { return "TForm1"; }

    TSkinForm* Skin;
    TXaudioPlayer* Player;
    TOpenDialog* OpenDlg;
    TPopupMenu* PopupMenu1;
    TMenuItem *Dorlin1, *N1, *EkranYkle1, *Ekolayzer1, *N6, *arkListesi1, *ark1, *A1, *N2, *Bala1, *Bekle1, *Dur1, *N3,
        *leri1, *Geri1, *Sonrakiark1, *ncekiark1, *N4, *N5, *k1;

    // Form events.
    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void FormDestroy(TObject* Sender);
    void LoadSettings();
    void SaveSettings();

    // Track control.
    void OpenSong(const std::string& FileName);
    void NextSong();
    void PrevSong();
    void StopSong();
    void ResetDisplay();
    void OpenFileDialog();
    void SeekForward();
    void SeekBackward();
    void ShowPlaylist();
    void PlayFromList(const std::string& FileName);
    void OpenWebSite();
    void ShowAbout();
    void ShowEqualizer();

    // Equalizer.
    void SetEQValues(const TEQValues& Values);
    void SetUseEQ(bool Flag);
    void ApplyEqualizer();
    void SaveEQPreset();
    void LoadEQPreset();

    // Skin and decoder handlers.
    void SkinMouseDownNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SkinMouseUpNotify(const std::string& ID, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SkinMouseMoveNotify(const std::string& ID, TShiftState Shift, int X, int Y);
    void SkinTrackBarNotify(const std::string& ID, int Position);
    void PlayerNotifyInputDuration(TObject* Sender, std::uint32_t Duration);
    void PlayerNotifyInputTimecode(TObject* Sender, BYTE Hours, BYTE Minutes, BYTE Seconds, BYTE Fractions);
    void PlayerNotifyInputPosition(TObject* Sender, std::uint32_t Offset, std::uint32_t Range);
    void PlayerNotifyNack(TObject* Sender, BYTE Command, std::int16_t Code);
    void PlayerNotifyPlayerState(TObject* Sender, int State);
    void PlayerNotifyInputState(TObject* Sender, int State);

    // Menu handlers.
    void Dorlin1Click(TObject* Sender);
    void EkranYkle1Click(TObject* Sender);
    void Ekolayzer1Click(TObject* Sender);
    void arkListesi1Click(TObject* Sender);
    void A1Click(TObject* Sender);
    void Bala1Click(TObject* Sender);
    void Bekle1Click(TObject* Sender);
    void Dur1Click(TObject* Sender);
    void leri1Click(TObject* Sender);
    void Geri1Click(TObject* Sender);
    void Sonrakiark1Click(TObject* Sender);
    void ncekiark1Click(TObject* Sender);
    void N5Click(TObject* Sender);
    void k1Click(TObject* Sender);

    // State, for the secondary windows and tests.
    TPlayList* PlayList() const { return FPlayList; }
    const std::string& LengthText() const { return FLengthText; }
    const std::string& SongTitle() const { return FSongTitle; }
    std::string SkinDir;
    TEQValues EQ{};
    bool AutoPlay = true;
    bool UseEQ = true;
    bool Loaded = false;

private:
    // An end of track (player state 3 or the last position) moves to the next song; the other
    // signal of the same track, arriving after, is not a second end.
    void EndOfTrack();
    TMenuItem* Item(TMenuItem* parent, const char* name, const std::string& caption, void (TForm1::*handler)(TObject*));

    TPlayList* FPlayList = nullptr;
    std::string FLengthText;
    std::string FSongTitle;
    bool FEndHandled = false;
    // Opens sent to the decoder and not yet answered (its input state "open", or a refusal):
    // until the last one is answered, positions, time codes and ends come from an earlier song.
    int FOpensPending = 0;
    bool Stale() const { return FOpensPending > 0; }
    // Sections read from Dorlin.ini; a section that was not read is never written back.
    bool FGenelRead = false;
    bool FMusicsRead = false;
    // The window closed (its settings written): the program is ending.
    bool FClosed = false;
};

extern TForm1* Form1;
