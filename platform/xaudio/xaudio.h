// "xaudio.dll": the MPEG audio decoder library, a module of the window layer's module table.
//
// A player object decodes MPEG 1, 2 and 2.5 audio (Layers I, II and III) on its own thread and
// plays it through an output. It takes asynchronous commands (control_message_send_*) and posts
// its notifications, in order, to the window given to player_new; the receiver turns each posted
// message back into a 16-byte XA_Message with control_win32_params_to_message. Texts and records
// that a notification points at stay with the player: the record carries a 32-bit slot number and
// control_message_pointer turns it into the address (valid until the next conversion of the same
// player).
//
// Outputs, chosen by the output name (SetOutputName, command 44; the environment variable
// XAUDIO_OUTPUT overrides it; default "device"):
//   device        the machine's sound device; when none opens, the paced null output and a debug
//                 notification with a notice
//   null          no sound, paced by the wall clock
//   null:fast     no sound, as fast as decoding goes
//   null:manual   no sound, on a virtual clock that only AdvanceNullClock moves
//   wav:PATH      a 16-bit PCM WAV file, written as fast as decoding goes
//
// The programs reach the functions through LoadLibraryA("xaudio.dll") and GetProcAddress after
// xaudio::Register() has put the module in the table.
#pragma once

#include <cstdint>

#include "platform/win/modules.h"
#include "platform/win/wintypes.h"

// The library's message record: a notification code and 12 data bytes.
struct XA_Message {
    std::uint32_t code;
    std::uint8_t data[12];
};
static_assert(sizeof(XA_Message) == 16, "the message record is 16 bytes");

// Equalizer gains: 32 bands of the left channel, then 32 of the right. A gain g is a factor of
// 10^(g * 0.15 / 20) (so +-80 is +-12 dB).
struct XA_EqualizerInfo {
    std::int8_t left[32];
    std::int8_t right[32];
};
static_assert(sizeof(XA_EqualizerInfo) == 64, "the equalizer record is 64 bytes");

using XA_PlayerHandle = std::uint32_t;

// API version words: major in bits 16-23, minor in bits 8-15.
constexpr std::uint32_t XA_API_VERSION_MAJOR = 3;
constexpr std::uint32_t XA_API_VERSION_MINOR = 2;

// Error codes (results of the functions, Codes of Nack and Error notifications).
constexpr int XA_SUCCESS = 0;
constexpr int XA_FAILURE = -1;
constexpr int XA_ERROR_OUT_OF_MEMORY = -2;
constexpr int XA_ERROR_INVALID_PARAMETERS = -3;
constexpr int XA_ERROR_NO_SUCH_PLAYER = -4;
constexpr int XA_ERROR_OPEN_FAILED = -5;
constexpr int XA_ERROR_NO_INPUT = -6;
constexpr int XA_ERROR_INVALID_FRAME = -7;
constexpr int XA_ERROR_SEEK_FAILED = -8;
constexpr int XA_ERROR_OUTPUT_FAILED = -9;
constexpr int XA_ERROR_NOT_SUPPORTED = -10;
constexpr int XA_ERROR_NOT_A_MESSAGE = -11;

// Command codes.
enum : int {
    XA_MSG_COMMAND_EXIT = 1,
    XA_MSG_COMMAND_PING = 2,
    XA_MSG_COMMAND_PLAY = 3,
    XA_MSG_COMMAND_PAUSE = 4,
    XA_MSG_COMMAND_STOP = 5,
    XA_MSG_COMMAND_INPUT_SEEK = 6,
    XA_MSG_COMMAND_INPUT_OPEN = 7,
    XA_MSG_COMMAND_INPUT_CLOSE = 8,
    XA_MSG_COMMAND_OUTPUT_OPEN = 16,
    XA_MSG_COMMAND_OUTPUT_CLOSE = 17,
    XA_MSG_COMMAND_OUTPUT_MUTE = 19,
    XA_MSG_COMMAND_OUTPUT_UNMUTE = 20,
    XA_MSG_COMMAND_OUTPUT_RESET = 21,
    XA_MSG_COMMAND_OUTPUT_DRAIN = 22,
    XA_MSG_SET_PLAYER_MODE = 29,
    XA_MSG_GET_PLAYER_MODE = 30,
    XA_MSG_GET_INPUT_NAME = 37,
    XA_MSG_SET_INPUT_POSITION_RANGE = 40,
    XA_MSG_GET_INPUT_POSITION_RANGE = 41,
    XA_MSG_SET_INPUT_TIMECODE_GRANULARITY = 42,
    XA_MSG_GET_INPUT_TIMECODE_GRANULARITY = 43,
    XA_MSG_SET_OUTPUT_NAME = 44,
    XA_MSG_GET_OUTPUT_NAME = 45,
    XA_MSG_SET_OUTPUT_VOLUME = 48,
    XA_MSG_GET_OUTPUT_VOLUME = 49,
    XA_MSG_SET_CODEC_QUALITY = 54,
    XA_MSG_GET_CODEC_QUALITY = 55,
    XA_MSG_SET_CODEC_EQUALIZER = 58,
    XA_MSG_GET_CODEC_EQUALIZER = 59,
    XA_MSG_SET_NOTIFICATION_MASK = 60,
    XA_MSG_GET_NOTIFICATION_MASK = 61,
    XA_MSG_SET_DEBUG_LEVEL = 62,
    XA_MSG_GET_DEBUG_LEVEL = 63,
};

// Notification codes.
enum : std::uint32_t {
    XA_MSG_NOTIFY_READY = 64,
    XA_MSG_NOTIFY_ACK = 65,
    XA_MSG_NOTIFY_NACK = 66,
    XA_MSG_NOTIFY_PONG = 67,
    XA_MSG_NOTIFY_EXITED = 68,
    XA_MSG_NOTIFY_PLAYER_STATE = 69,
    XA_MSG_NOTIFY_PLAYER_MODE = 70,
    XA_MSG_NOTIFY_INPUT_STATE = 73,
    XA_MSG_NOTIFY_INPUT_NAME = 74,
    XA_MSG_NOTIFY_INPUT_CAPS = 75,
    XA_MSG_NOTIFY_INPUT_POSITION = 76,
    XA_MSG_NOTIFY_INPUT_POSITION_RANGE = 77,
    XA_MSG_NOTIFY_INPUT_TIMECODE = 78,
    XA_MSG_NOTIFY_INPUT_TIMECODE_GRANULARITY = 79,
    XA_MSG_NOTIFY_INPUT_DURATION = 80,
    XA_MSG_NOTIFY_INPUT_STREAM_INFO = 81,
    XA_MSG_NOTIFY_OUTPUT_STATE = 86,
    XA_MSG_NOTIFY_OUTPUT_NAME = 87,
    XA_MSG_NOTIFY_OUTPUT_VOLUME = 89,
    XA_MSG_NOTIFY_CODEC_QUALITY = 100,
    XA_MSG_NOTIFY_CODEC_EQUALIZER = 101,
    XA_MSG_NOTIFY_NOTIFICATION_MASK = 102,
    XA_MSG_NOTIFY_DEBUG_LEVEL = 103,
    XA_MSG_NOTIFY_PROGRESS = 104,
    XA_MSG_NOTIFY_DEBUG = 105,
    XA_MSG_NOTIFY_ERROR = 106,
};

// Player states (PlayerState notification).
enum : std::uint8_t {
    XA_PLAYER_STATE_STOPPED = 0,
    XA_PLAYER_STATE_PLAYING = 1,
    XA_PLAYER_STATE_PAUSED = 2,
    XA_PLAYER_STATE_EOS = 3,
};
// Input states and output states.
enum : std::uint8_t { XA_INPUT_STATE_CLOSED = 0, XA_INPUT_STATE_OPEN = 1 };
enum : std::uint8_t { XA_OUTPUT_STATE_CLOSED = 0, XA_OUTPUT_STATE_OPEN = 1 };

// Sources of Error, Debug and Progress notifications.
enum : std::uint8_t { XA_SOURCE_PLAYER = 0, XA_SOURCE_INPUT = 1, XA_SOURCE_CODEC = 2, XA_SOURCE_OUTPUT = 3 };

// The default position range and time-code granularity (milliseconds).
constexpr std::uint32_t XA_DEFAULT_POSITION_RANGE = 400;
constexpr std::uint32_t XA_DEFAULT_TIMECODE_GRANULARITY = 1000;

// The window message number the players post (WParam: the player handle; LParam: a sequence number).
constexpr UINT XA_WM_NOTIFY = 0x8000 + 0x5841;  // WM_APP + 'XA'

// The exported functions, as the module's table gives them.
extern "C" {
std::uint32_t xaudio_get_api_version(std::uint32_t requested);
const char* xaudio_error_string(int code);
int player_new(XA_PlayerHandle* player, HWND* window);
int player_delete(XA_PlayerHandle player);
int player_set_priority(XA_PlayerHandle player, int priority);
int player_get_priority(XA_PlayerHandle player);
int control_win32_params_to_message(XA_PlayerHandle player, XA_Message* message, UINT msg, WPARAM wParam, LPARAM lParam);
// The address behind a pointer slot of the last converted message (nullptr for an unknown slot).
const void* control_message_pointer(XA_PlayerHandle player, std::uint32_t slot);
int control_message_send_N(XA_PlayerHandle player, int code);
int control_message_send_I(XA_PlayerHandle player, int code, int a);
int control_message_send_II(XA_PlayerHandle player, int code, int a, int b);
int control_message_send_III(XA_PlayerHandle player, int code, int a, int b, int c);
int control_message_send_S(XA_PlayerHandle player, int code, const char* s);
int control_message_send_SI(XA_PlayerHandle player, int code, const char* s, int a);
int control_message_send_SS(XA_PlayerHandle player, int code, const char* s1, const char* s2);
int control_message_send_P(XA_PlayerHandle player, int code, const void* p);
int control_message_send_IPI(XA_PlayerHandle player, int code, int a, const void* p, int b);
}

namespace xaudio {

// The module's definition: its name and exports.
win::ModuleDefinition Definition();
// Puts "xaudio.dll" into the module table (once; later calls do nothing).
void Register();

// The virtual clock of a player on the "null:manual" output: lets it play `ms` more milliseconds.
// False for an unknown player.
bool AdvanceNullClock(XA_PlayerHandle player, unsigned ms);

// Number of live player objects (for leak checks).
int PlayerCount();

}  // namespace xaudio
