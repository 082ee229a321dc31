// TXaudioPlayer: the library's functions looked up by name, the commands, and the conversion of
// posted notifications into events.
#include "player/XaudioPlayer.h"

#include <cstring>

#include "platform/classlib/application.h"
#include "platform/classlib/dialogs.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"

struct TXaudioPlayer::Api {
    std::uint32_t (*get_api_version)(std::uint32_t) = nullptr;
    const char* (*error_string)(int) = nullptr;
    int (*player_new)(XA_PlayerHandle*, HWND*) = nullptr;
    int (*player_delete)(XA_PlayerHandle) = nullptr;
    int (*set_priority)(XA_PlayerHandle, int) = nullptr;
    int (*get_priority)(XA_PlayerHandle) = nullptr;
    int (*params_to_message)(XA_PlayerHandle, XA_Message*, UINT, WPARAM, LPARAM) = nullptr;
    const void* (*message_pointer)(XA_PlayerHandle, std::uint32_t) = nullptr;
    int (*send_N)(XA_PlayerHandle, int) = nullptr;
    int (*send_I)(XA_PlayerHandle, int, int) = nullptr;
    int (*send_II)(XA_PlayerHandle, int, int, int) = nullptr;
    int (*send_III)(XA_PlayerHandle, int, int, int, int) = nullptr;
    int (*send_S)(XA_PlayerHandle, int, const char*) = nullptr;
    int (*send_SI)(XA_PlayerHandle, int, const char*, int) = nullptr;
    int (*send_SS)(XA_PlayerHandle, int, const char*, const char*) = nullptr;
    int (*send_P)(XA_PlayerHandle, int, const void*) = nullptr;
    int (*send_IPI)(XA_PlayerHandle, int, int, const void*, int) = nullptr;
};

namespace {

template <class F>
void Bind(HMODULE m, const char* name, F& fn) {
    fn = m ? reinterpret_cast<F>(GetProcAddress(m, name)) : nullptr;
}

std::uint8_t B(const XA_Message& m, int at) { return m.data[at]; }
std::uint16_t W(const XA_Message& m, int at) { return static_cast<std::uint16_t>(m.data[at] | (m.data[at + 1] << 8)); }
std::int16_t SW(const XA_Message& m, int at) { return static_cast<std::int16_t>(W(m, at)); }
std::uint32_t D(const XA_Message& m, int at) {
    return static_cast<std::uint32_t>(W(m, at)) | (static_cast<std::uint32_t>(W(m, at + 2)) << 16);
}

}  // namespace

TXaudioPlayer::TXaudioPlayer(TComponent* AOwner) : TComponent(AOwner), FApi(new Api) {
    xaudio::Register();
    FModule = LoadLibraryA("xaudio.dll");
    Api& a = *FApi;
    Bind(FModule, "xaudio_get_api_version", a.get_api_version);
    Bind(FModule, "xaudio_error_string", a.error_string);
    Bind(FModule, "player_new", a.player_new);
    Bind(FModule, "player_delete", a.player_delete);
    Bind(FModule, "player_set_priority", a.set_priority);
    Bind(FModule, "player_get_priority", a.get_priority);
    Bind(FModule, "control_win32_params_to_message", a.params_to_message);
    Bind(FModule, "control_message_pointer", a.message_pointer);
    Bind(FModule, "control_message_send_N", a.send_N);
    Bind(FModule, "control_message_send_I", a.send_I);
    Bind(FModule, "control_message_send_II", a.send_II);
    Bind(FModule, "control_message_send_III", a.send_III);
    Bind(FModule, "control_message_send_S", a.send_S);
    Bind(FModule, "control_message_send_SI", a.send_SI);
    Bind(FModule, "control_message_send_SS", a.send_SS);
    Bind(FModule, "control_message_send_P", a.send_P);
    Bind(FModule, "control_message_send_IPI", a.send_IPI);

    // 1-2. The library's version.
    const std::uint32_t version = a.get_api_version ? a.get_api_version(2) : 0;
    const unsigned major = (version >> 16) & 0xFF, minor = (version >> 8) & 0xFF;
    if (major != 3 || minor != 2)
        Application->MessageBox("Xaudio DLL API Mismatch\rExpected 3,2\rGot " + std::to_string(major) + "," +
                                    std::to_string(minor),
                                "Error", MB_OK | MB_ICONERROR);
    // 4. The hidden notification window.
    FWindow = AllocateHWnd([this](TMessage& m) { WndProc(m); });
    // 5. The player object.
    if (!a.player_new || a.player_new(&FPlayer, &FWindow) != XA_SUCCESS) {
        FPlayer = 0;
        Application->MessageBox("Cannot Start Xaudio Player", "Error", MB_OK | MB_ICONERROR);
    }
}

TXaudioPlayer::~TXaudioPlayer() {
    if (FApi->player_delete && FPlayer) FApi->player_delete(FPlayer);
    DeallocateHWnd(FWindow);
    FWindow = nullptr;
    if (FModule) FreeLibrary(FModule);
    delete FApi;
}

std::uint32_t TXaudioPlayer::Priority() const {
    return FApi->get_priority ? static_cast<std::uint32_t>(FApi->get_priority(FPlayer)) : 0;
}

void TXaudioPlayer::SetPriority(std::uint32_t Value) {
    if (FApi->set_priority) FApi->set_priority(FPlayer, static_cast<int>(Value));
}

std::string TXaudioPlayer::ErrorString(int Code) const {
    const char* s = FApi->error_string ? FApi->error_string(Code) : nullptr;
    return s ? s : "";
}

std::string TXaudioPlayer::TextAt(const XA_Message& m, int at) const {
    const void* p = FApi->message_pointer ? FApi->message_pointer(FPlayer, D(m, at)) : nullptr;
    return p ? static_cast<const char*>(p) : "";
}

void TXaudioPlayer::WndProc(TMessage& Message) {
    XA_Message m{};
    // Only the library's own messages are converted; everything else gets the default handling.
    if (!FApi->params_to_message ||
        FApi->params_to_message(FPlayer, &m, Message.Msg, Message.WParam, Message.LParam) != XA_SUCCESS) {
        Message.Result = DefWindowProcA(FWindow, Message.Msg, Message.WParam, Message.LParam);
        return;
    }
    if (OnNotifyMessage) OnNotifyMessage(this, m);
    Dispatch(m);
}

void TXaudioPlayer::Dispatch(XA_Message& m) {
    switch (m.code) {
    case 64: if (OnNotifyReady) OnNotifyReady(this); break;
    case 65: if (OnNotifyAck) OnNotifyAck(this, B(m, 0)); break;
    case 66: if (OnNotifyNack) OnNotifyNack(this, B(m, 0), SW(m, 2)); break;
    case 67: if (OnNotifyPong) OnNotifyPong(this, D(m, 0)); break;
    case 68: if (OnNotifyExited) OnNotifyExited(this); break;
    case 69: if (OnNotifyPlayerState) OnNotifyPlayerState(this, B(m, 0)); break;
    case 70: if (OnNotifyPlayerMode) OnNotifyPlayerMode(this, static_cast<int>(D(m, 0))); break;
    case 71: if (OnNotifyPlayerEnvironmentInteger) OnNotifyPlayerEnvironmentInteger(this, TextAt(m, 0), static_cast<int>(D(m, 4))); break;
    case 72: if (OnNotifyPlayerEnvironmentString) OnNotifyPlayerEnvironmentString(this, TextAt(m, 0), TextAt(m, 4)); break;
    case 73: if (OnNotifyInputState) OnNotifyInputState(this, B(m, 0)); break;
    case 74: if (OnNotifyInputName) OnNotifyInputName(this, TextAt(m, 0)); break;
    case 75: if (OnNotifyInputCaps) OnNotifyInputCaps(this, D(m, 0)); break;
    case 76: if (OnNotifyInputPosition) OnNotifyInputPosition(this, D(m, 0), D(m, 4)); break;
    case 77: if (OnNotifyInputPositionRange) OnNotifyInputPositionRange(this, static_cast<int>(D(m, 0))); break;
    case 78: if (OnNotifyInputTimecode) OnNotifyInputTimecode(this, B(m, 0), B(m, 1), B(m, 2), B(m, 3)); break;
    case 79: if (OnNotifyInputTimecodeGranularity) OnNotifyInputTimecodeGranularity(this, D(m, 0)); break;
    case 80: if (OnNotifyInputDuration) OnNotifyInputDuration(this, D(m, 0)); break;
    case 81: if (OnNotifyInputStreamInfo) OnNotifyInputStreamInfo(this, B(m, 0), B(m, 1), W(m, 2), W(m, 4), B(m, 6)); break;
    case 82: if (OnNotifyInputModule) OnNotifyInputModule(this, SW(m, 0)); break;
    case 83: if (OnNotifyInputModuleInfo) OnNotifyInputModuleInfo(this, B(m, 0), B(m, 1), TextAt(m, 4), TextAt(m, 8)); break;
    case 84: if (OnNotifyInputDeviceInfo) OnNotifyInputDeviceInfo(this, B(m, 0), B(m, 1), B(m, 2), TextAt(m, 4), TextAt(m, 8)); break;
    case 85: if (OnNotifyInputFilterInfo) OnNotifyInputFilterInfo(this, B(m, 4), TextAt(m, 0)); break;
    case 86: if (OnNotifyOutputState) OnNotifyOutputState(this, B(m, 0)); break;
    case 87: if (OnNotifyOutputName) OnNotifyOutputName(this, TextAt(m, 0)); break;
    case 88: if (OnNotifyOutputCaps) OnNotifyOutputCaps(this, D(m, 0)); break;
    case 89: if (OnNotifyOutputVolume) OnNotifyOutputVolume(this, B(m, 0), B(m, 1), B(m, 2)); break;
    case 90: if (OnNotifyOutputBalance) OnNotifyOutputBalance(this, B(m, 2)); break;
    case 91: if (OnNotifyOutputPcmLevel) OnNotifyOutputPcmLevel(this, B(m, 1)); break;
    case 92: if (OnNotifyOutputMasterLevel) OnNotifyOutputMasterLevel(this, B(m, 0)); break;
    case 93: if (OnNotifyOutputChannels) OnNotifyOutputChannels(this, B(m, 0)); break;
    case 94: if (OnNotifyOutputPorts) OnNotifyOutputPorts(this, B(m, 0)); break;
    case 96: if (OnNotifyOutputModule) OnNotifyOutputModule(this, SW(m, 0)); break;
    case 97: if (OnNotifyOutputModuleInfo) OnNotifyOutputModuleInfo(this, B(m, 0), B(m, 1), TextAt(m, 4), TextAt(m, 8)); break;
    case 98: if (OnNotifyOutputDeviceInfo) OnNotifyOutputDeviceInfo(this, B(m, 0), B(m, 1), B(m, 2), TextAt(m, 4), TextAt(m, 8)); break;
    case 99: if (OnNotifyOutputFilterInfo) OnNotifyOutputFilterInfo(this, B(m, 4), TextAt(m, 0)); break;
    case 100: if (OnNotifyCodecQuality) OnNotifyCodecQuality(this, B(m, 0)); break;
    case 101:
        if (OnNotifyCodecEqualizer) {
            const void* p = FApi->message_pointer ? FApi->message_pointer(FPlayer, D(m, 0)) : nullptr;
            XA_EqualizerInfo eq{};
            if (p) std::memcpy(&eq, p, sizeof eq);
            OnNotifyCodecEqualizer(this, eq);
        }
        break;
    case 102: if (OnNotifyNotificationMask) OnNotifyNotificationMask(this, D(m, 0)); break;
    case 103: if (OnNotifyDebugLevel) OnNotifyDebugLevel(this, B(m, 0)); break;
    case 104: if (OnNotifyProgress) OnNotifyProgress(this, B(m, 0), B(m, 1), SW(m, 2), TextAt(m, 4)); break;
    case 105: if (OnNotifyDebug) OnNotifyDebug(this, B(m, 0), B(m, 1), TextAt(m, 4)); break;
    case 106: if (OnNotifyError) OnNotifyError(this, B(m, 0), SW(m, 2), TextAt(m, 4)); break;
    default: break;
    }
}

int TXaudioPlayer::N(int code) { return FApi->send_N ? FApi->send_N(FPlayer, code) : XA_FAILURE; }
int TXaudioPlayer::I(int code, int a) { return FApi->send_I ? FApi->send_I(FPlayer, code, a) : XA_FAILURE; }
int TXaudioPlayer::II(int code, int a, int b) { return FApi->send_II ? FApi->send_II(FPlayer, code, a, b) : XA_FAILURE; }
int TXaudioPlayer::III(int code, int a, int b, int c) {
    return FApi->send_III ? FApi->send_III(FPlayer, code, a, b, c) : XA_FAILURE;
}
int TXaudioPlayer::S(int code, const std::string& s) { return FApi->send_S ? FApi->send_S(FPlayer, code, s.c_str()) : XA_FAILURE; }
int TXaudioPlayer::SI(int code, const std::string& s, int a) {
    return FApi->send_SI ? FApi->send_SI(FPlayer, code, s.c_str(), a) : XA_FAILURE;
}
int TXaudioPlayer::SS(int code, const std::string& s1, const std::string& s2) {
    return FApi->send_SS ? FApi->send_SS(FPlayer, code, s1.c_str(), s2.c_str()) : XA_FAILURE;
}
int TXaudioPlayer::P(int code, const void* p) { return FApi->send_P ? FApi->send_P(FPlayer, code, p) : XA_FAILURE; }
int TXaudioPlayer::IPI(int code, int a, const void* p, int b) {
    return FApi->send_IPI ? FApi->send_IPI(FPlayer, code, a, p, b) : XA_FAILURE;
}

int TXaudioPlayer::Exit() { return N(1); }
int TXaudioPlayer::Ping(int Tag) { return I(2, Tag); }
int TXaudioPlayer::Play() { return N(3); }
int TXaudioPlayer::Pause() { return N(4); }
int TXaudioPlayer::Stop() { return N(5); }
int TXaudioPlayer::InputSeek(int Offset, int Range) { return II(6, Offset, Range); }
int TXaudioPlayer::InputOpen(const std::string& FileName) { return S(7, FileName); }
int TXaudioPlayer::InputClose() { return N(8); }
int TXaudioPlayer::InputSendMessage(int Type, const void* Data, int Size) { return IPI(9, Type & 0xFFFF, Data, Size); }
int TXaudioPlayer::InputAddFilter(const std::string& Name, int Where) { return SI(10, Name, Where); }
int TXaudioPlayer::InputRemoveFilter(const std::string& Name, int Id) { return SI(11, Name, Id); }
int TXaudioPlayer::InputFilterList() { return N(12); }
int TXaudioPlayer::InputModuleRegister(const std::string& Name) { return S(13, Name); }
int TXaudioPlayer::InputModuleQuery(int Module) { return I(14, Module); }
int TXaudioPlayer::InputModulesList() { return N(15); }
int TXaudioPlayer::OutputOpen(const std::string& Name) { return S(16, Name); }
int TXaudioPlayer::OutputClose() { return N(17); }
int TXaudioPlayer::OutputSendMessage(int Type, const void* Data, int Size) { return IPI(18, Type & 0xFFFF, Data, Size); }
int TXaudioPlayer::OutputMute() { return N(19); }
int TXaudioPlayer::OutputUnmute() { return N(20); }
int TXaudioPlayer::OutputReset() { return N(21); }
int TXaudioPlayer::OutputDrain() { return N(22); }
int TXaudioPlayer::OutputAddFilter(const std::string& Name, int Where) { return SI(23, Name, Where); }
int TXaudioPlayer::OutputRemoveFilter(const std::string& Name, int Id) { return SI(24, Name, Id); }
int TXaudioPlayer::OutputFilterList() { return N(25); }
int TXaudioPlayer::OutputModuleRegister(const std::string& Name) { return S(26, Name); }
int TXaudioPlayer::OutputModuleQuery(int Module) { return I(27, Module); }
int TXaudioPlayer::OutputModulesList() { return N(28); }
int TXaudioPlayer::SetPlayerMode(int Mode) { return I(29, Mode); }
int TXaudioPlayer::GetPlayerMode() { return N(30); }
int TXaudioPlayer::SetPlayerEnvironmentInteger(const std::string& Name, int Value) { return SI(31, Name, Value); }
int TXaudioPlayer::GetPlayerEnvironmentInteger(const std::string& Name) { return S(32, Name); }
int TXaudioPlayer::SetPlayerEnvironmentString(const std::string& Name, const std::string& Value) { return SS(33, Name, Value); }
int TXaudioPlayer::GetPlayerEnvironmentString(const std::string& Name) { return S(34, Name); }
int TXaudioPlayer::UnsetPlayerEnvironment(const std::string& Name) { return S(35, Name); }
int TXaudioPlayer::SetInputName(const std::string& Name) { return S(36, Name); }
int TXaudioPlayer::GetInputName() { return N(37); }
int TXaudioPlayer::SetInputModule(int Module) { return I(38, Module); }
int TXaudioPlayer::GetInputModule() { return N(39); }
int TXaudioPlayer::SetInputPositionRange(int Range) { return I(40, Range); }
int TXaudioPlayer::GetInputPositionRange() { return N(41); }
int TXaudioPlayer::SetInputTimecodeGranularity(int Granularity) { return I(42, Granularity); }
int TXaudioPlayer::GetInputTimecodeGranularity() { return N(43); }
int TXaudioPlayer::SetOutputName(const std::string& Name) { return S(44, Name); }
int TXaudioPlayer::GetOutputName() { return N(45); }
int TXaudioPlayer::SetOutputModule(int Module) { return I(46, Module); }
int TXaudioPlayer::GetOutputModule() { return N(47); }
int TXaudioPlayer::SetOutputVolume(int Balance, int PcmLevel, int MasterLevel) {
    return III(48, Balance & 0xFF, PcmLevel & 0xFF, MasterLevel & 0xFF);
}
int TXaudioPlayer::GetOutputVolume() { return N(49); }
int TXaudioPlayer::SetOutputChannels(int Channels) { return I(50, Channels); }
int TXaudioPlayer::GetOutputChannels() { return N(51); }
int TXaudioPlayer::SetOutputPorts(int Ports) { return I(52, Ports); }
int TXaudioPlayer::GetOutputPorts() { return N(53); }
int TXaudioPlayer::SetCodecQuality(int Quality) { return I(54, Quality & 0xFF); }
int TXaudioPlayer::GetCodecQuality() { return N(55); }
int TXaudioPlayer::SetCodecEqualizer(const XA_EqualizerInfo* Equalizer) { return P(58, Equalizer); }
int TXaudioPlayer::GetCodecEqualizer() { return N(59); }
int TXaudioPlayer::SetNotificationMask(int Mask) { return I(60, Mask); }
int TXaudioPlayer::GetNotificationMask() { return N(61); }
int TXaudioPlayer::SetDebugLevel(int Level) { return I(62, Level); }
int TXaudioPlayer::GetDebugLevel() { return N(63); }
