// TXaudioPlayer: the component that binds one player object of the decoder library "xaudio.dll".
//
// Method calls become the library's asynchronous commands; the notifications the library posts to
// the component's hidden window become events, in posting order, on the thread that made the
// component. Every state (open file, playing, volume) lives in the library and is learned only
// from notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/classlib/components.h"
#include "platform/classlib/messages.h"
#include "platform/xaudio/xaudio.h"

using TNotifyMessageEvent = std::function<void(TObject* Sender, XA_Message& Msg)>;
using TNotifyAckEvent = std::function<void(TObject* Sender, BYTE Command)>;
using TNotifyNackEvent = std::function<void(TObject* Sender, BYTE Command, std::int16_t Code)>;
using TNotifyPongEvent = std::function<void(TObject* Sender, std::uint32_t Tag)>;
using TNotifyPlayerStateEvent = std::function<void(TObject* Sender, int State)>;
using TNotifyPlayerModeEvent = std::function<void(TObject* Sender, int Mode)>;
using TNotifyEnvironmentIntegerEvent = std::function<void(TObject* Sender, const std::string& Name, int Value)>;
using TNotifyEnvironmentStringEvent = std::function<void(TObject* Sender, const std::string& Name, const std::string& Value)>;
using TNotifyInputStateEvent = std::function<void(TObject* Sender, int State)>;
using TNotifyInputNameEvent = std::function<void(TObject* Sender, const std::string& Name)>;
using TNotifyInputCapsEvent = std::function<void(TObject* Sender, std::uint32_t Caps)>;
using TNotifyInputPositionEvent = std::function<void(TObject* Sender, std::uint32_t Offset, std::uint32_t Range)>;
using TNotifyInputPositionRangeEvent = std::function<void(TObject* Sender, int Range)>;
using TNotifyInputTimecodeEvent = std::function<void(TObject* Sender, BYTE Hours, BYTE Minutes, BYTE Seconds, BYTE Fractions)>;
using TNotifyInputTimecodeGranularityEvent = std::function<void(TObject* Sender, std::uint32_t Granularity)>;
using TNotifyInputDurationEvent = std::function<void(TObject* Sender, std::uint32_t Duration)>;
using TNotifyInputStreamInfoEvent = std::function<void(TObject* Sender, BYTE Level, BYTE Layer, WORD Bitrate, WORD Frequency, BYTE Mode)>;
using TNotifyInputModuleEvent = std::function<void(TObject* Sender, std::int16_t ID)>;
using TNotifyInputModuleInfoEvent = std::function<void(TObject* Sender, BYTE ID, BYTE NbDevices, const std::string& Name, const std::string& Description)>;
using TNotifyInputDeviceInfoEvent = std::function<void(TObject* Sender, BYTE ModuleID, BYTE Index, BYTE Flags, const std::string& Name, const std::string& Description)>;
using TNotifyInputFilterInfoEvent = std::function<void(TObject* Sender, BYTE ID, const std::string& Name)>;
using TNotifyOutputStateEvent = TNotifyInputStateEvent;
using TNotifyOutputNameEvent = TNotifyInputNameEvent;
using TNotifyOutputCapsEvent = TNotifyInputCapsEvent;
using TNotifyOutputVolumeEvent = std::function<void(TObject* Sender, BYTE MasterLevel, BYTE PcmLevel, BYTE Balance)>;
using TNotifyOutputBalanceEvent = std::function<void(TObject* Sender, BYTE Balance)>;
using TNotifyOutputPcmLevelEvent = std::function<void(TObject* Sender, BYTE PcmLevel)>;
using TNotifyOutputMasterLevelEvent = std::function<void(TObject* Sender, BYTE MasterLevel)>;
using TNotifyOutputChannelsEvent = std::function<void(TObject* Sender, BYTE Channels)>;
using TNotifyOutputPortsEvent = std::function<void(TObject* Sender, std::uint32_t Ports)>;
using TNotifyOutputModuleEvent = TNotifyInputModuleEvent;
using TNotifyOutputModuleInfoEvent = TNotifyInputModuleInfoEvent;
using TNotifyOutputDeviceInfoEvent = TNotifyInputDeviceInfoEvent;
using TNotifyOutputFilterInfoEvent = TNotifyInputFilterInfoEvent;
using TNotifyCodecQualityEvent = std::function<void(TObject* Sender, BYTE Quality)>;
using TNotifyCodecEqualizerEvent = std::function<void(TObject* Sender, XA_EqualizerInfo& Equalizer)>;
using TNotifyNotificationMask = std::function<void(TObject* Sender, std::uint32_t Mask)>;
using TNotifyDebugLevelEvent = std::function<void(TObject* Sender, BYTE Level)>;
using TNotifyProgressEvent = std::function<void(TObject* Sender, BYTE Source, BYTE Code, std::int16_t Value, const std::string& Msg)>;
using TNotifyDebugEvent = std::function<void(TObject* Sender, BYTE Source, BYTE Level, const std::string& Msg)>;
using TNotifyErrorEvent = std::function<void(TObject* Sender, BYTE Source, std::int16_t Code, const std::string& Msg)>;

class TXaudioPlayer : public TComponent {
public:
    explicit TXaudioPlayer(TComponent* AOwner);
    ~TXaudioPlayer() override;
    const char* ClassName() const override { return "TXaudioPlayer"; }

    std::uint32_t Priority() const;
    void SetPriority(std::uint32_t Value);
    std::string ErrorString(int Code) const;
    HWND Window() const { return FWindow; }
    XA_PlayerHandle PlayerHandle() const { return FPlayer; }

    // Commands (code in the comment); each returns the library's result, which the callers ignore.
    int Exit();                                          // 1
    int Ping(int Tag);                                   // 2
    int Play();                                          // 3
    int Pause();                                         // 4
    int Stop();                                          // 5
    int InputSeek(int Offset, int Range);                // 6
    int InputOpen(const std::string& FileName);          // 7
    int InputClose();                                    // 8
    int InputSendMessage(int Type, const void* Data, int Size);  // 9
    int InputAddFilter(const std::string& Name, int Where);      // 10
    int InputRemoveFilter(const std::string& Name, int Id);      // 11
    int InputFilterList();                               // 12
    int InputModuleRegister(const std::string& Name);    // 13
    int InputModuleQuery(int Module);                    // 14
    int InputModulesList();                              // 15
    int OutputOpen(const std::string& Name);             // 16
    int OutputClose();                                   // 17
    int OutputSendMessage(int Type, const void* Data, int Size);  // 18
    int OutputMute();                                    // 19
    int OutputUnmute();                                  // 20
    int OutputReset();                                   // 21
    int OutputDrain();                                   // 22
    int OutputAddFilter(const std::string& Name, int Where);     // 23
    int OutputRemoveFilter(const std::string& Name, int Id);     // 24
    int OutputFilterList();                              // 25
    int OutputModuleRegister(const std::string& Name);   // 26
    int OutputModuleQuery(int Module);                   // 27
    int OutputModulesList();                             // 28
    int SetPlayerMode(int Mode);                         // 29
    int GetPlayerMode();                                 // 30
    int SetPlayerEnvironmentInteger(const std::string& Name, int Value);            // 31
    int GetPlayerEnvironmentInteger(const std::string& Name);                       // 32
    int SetPlayerEnvironmentString(const std::string& Name, const std::string& Value);  // 33
    int GetPlayerEnvironmentString(const std::string& Name);                        // 34
    int UnsetPlayerEnvironment(const std::string& Name);                            // 35
    int SetInputName(const std::string& Name);           // 36
    int GetInputName();                                  // 37
    int SetInputModule(int Module);                      // 38
    int GetInputModule();                                // 39
    int SetInputPositionRange(int Range);                // 40
    int GetInputPositionRange();                         // 41
    int SetInputTimecodeGranularity(int Granularity);    // 42
    int GetInputTimecodeGranularity();                   // 43
    int SetOutputName(const std::string& Name);          // 44
    int GetOutputName();                                 // 45
    int SetOutputModule(int Module);                     // 46
    int GetOutputModule();                               // 47
    int SetOutputVolume(int Balance, int PcmLevel, int MasterLevel);  // 48 (each its low byte)
    int GetOutputVolume();                               // 49
    int SetOutputChannels(int Channels);                 // 50
    int GetOutputChannels();                             // 51
    int SetOutputPorts(int Ports);                       // 52
    int GetOutputPorts();                                // 53
    int SetCodecQuality(int Quality);                    // 54
    int GetCodecQuality();                               // 55
    int SetCodecEqualizer(const XA_EqualizerInfo* Equalizer);  // 58 (nullptr: equalizer off)
    int GetCodecEqualizer();                             // 59
    int SetNotificationMask(int Mask);                   // 60
    int GetNotificationMask();                           // 61
    int SetDebugLevel(int Level);                        // 62
    int GetDebugLevel();                                 // 63

    TNotifyMessageEvent OnNotifyMessage;
    TNotifyEvent OnNotifyReady;
    TNotifyAckEvent OnNotifyAck;
    TNotifyNackEvent OnNotifyNack;
    TNotifyPongEvent OnNotifyPong;
    TNotifyEvent OnNotifyExited;
    TNotifyPlayerStateEvent OnNotifyPlayerState;
    TNotifyPlayerModeEvent OnNotifyPlayerMode;
    TNotifyEnvironmentIntegerEvent OnNotifyPlayerEnvironmentInteger;
    TNotifyEnvironmentStringEvent OnNotifyPlayerEnvironmentString;
    TNotifyInputStateEvent OnNotifyInputState;
    TNotifyInputNameEvent OnNotifyInputName;
    TNotifyInputCapsEvent OnNotifyInputCaps;
    TNotifyInputPositionEvent OnNotifyInputPosition;
    TNotifyInputPositionRangeEvent OnNotifyInputPositionRange;
    TNotifyInputTimecodeEvent OnNotifyInputTimecode;
    TNotifyInputTimecodeGranularityEvent OnNotifyInputTimecodeGranularity;
    TNotifyInputDurationEvent OnNotifyInputDuration;
    TNotifyInputStreamInfoEvent OnNotifyInputStreamInfo;
    TNotifyInputModuleEvent OnNotifyInputModule;
    TNotifyInputModuleInfoEvent OnNotifyInputModuleInfo;
    TNotifyInputDeviceInfoEvent OnNotifyInputDeviceInfo;
    TNotifyInputFilterInfoEvent OnNotifyInputFilterInfo;
    TNotifyOutputStateEvent OnNotifyOutputState;
    TNotifyOutputNameEvent OnNotifyOutputName;
    TNotifyOutputCapsEvent OnNotifyOutputCaps;
    TNotifyOutputVolumeEvent OnNotifyOutputVolume;
    TNotifyOutputBalanceEvent OnNotifyOutputBalance;
    TNotifyOutputPcmLevelEvent OnNotifyOutputPcmLevel;
    TNotifyOutputMasterLevelEvent OnNotifyOutputMasterLevel;
    TNotifyOutputChannelsEvent OnNotifyOutputChannels;
    TNotifyOutputPortsEvent OnNotifyOutputPorts;
    TNotifyOutputModuleEvent OnNotifyOutputModule;
    TNotifyOutputModuleInfoEvent OnNotifyOutputModuleInfo;
    TNotifyOutputDeviceInfoEvent OnNotifyOutputDeviceInfo;
    TNotifyOutputFilterInfoEvent OnNotifyOutputFilterInfo;
    TNotifyCodecQualityEvent OnNotifyCodecQuality;
    TNotifyCodecEqualizerEvent OnNotifyCodecEqualizer;
    TNotifyNotificationMask OnNotifyNotificationMask;
    TNotifyDebugLevelEvent OnNotifyDebugLevel;
    TNotifyProgressEvent OnNotifyProgress;
    TNotifyDebugEvent OnNotifyDebug;
    TNotifyErrorEvent OnNotifyError;

    // The window procedure of the hidden window.
    void WndProc(TMessage& Message);

private:
    struct Api;
    void Dispatch(XA_Message& m);
    std::string TextAt(const XA_Message& m, int at) const;
    int N(int code);
    int I(int code, int a);
    int II(int code, int a, int b);
    int III(int code, int a, int b, int c);
    int S(int code, const std::string& s);
    int SI(int code, const std::string& s, int a);
    int SS(int code, const std::string& s1, const std::string& s2);
    int P(int code, const void* p);
    int IPI(int code, int a, const void* p, int b);

    XA_PlayerHandle FPlayer = 0;
    HWND FWindow = nullptr;
    HMODULE FModule = nullptr;
    Api* FApi = nullptr;
};
