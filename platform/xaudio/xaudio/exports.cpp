// The library's exported functions over the table of live players, and its module definition.
#include <map>
#include <memory>
#include <mutex>

#include "platform/win/modules.h"
#include "platform/xaudio/xaudio.h"
#include "platform/xaudio/xaudio/player.h"

namespace {

std::mutex gMutex;
std::map<XA_PlayerHandle, std::shared_ptr<xaudio::Player>> gPlayers;
XA_PlayerHandle gNextHandle = 1;

std::shared_ptr<xaudio::Player> Find(XA_PlayerHandle h) {
    std::lock_guard lock(gMutex);
    auto it = gPlayers.find(h);
    return it == gPlayers.end() ? nullptr : it->second;
}

int Send(XA_PlayerHandle h, xaudio::Command c) {
    auto p = Find(h);
    if (!p) return XA_ERROR_NO_SUCH_PLAYER;
    return p->Send(std::move(c)) ? XA_SUCCESS : XA_FAILURE;
}

std::string Text(const char* s) { return s ? s : ""; }

xaudio::Command Cmd(int code, int a = 0, int b = 0, int c = 0) {
    xaudio::Command cmd;
    cmd.code = code;
    cmd.a = a;
    cmd.b = b;
    cmd.c = c;
    return cmd;
}

}  // namespace

extern "C" {

std::uint32_t xaudio_get_api_version(std::uint32_t) {
    return (XA_API_VERSION_MAJOR << 16) | (XA_API_VERSION_MINOR << 8);
}

const char* xaudio_error_string(int code) {
    switch (code) {
    case XA_SUCCESS: return "success";
    case XA_FAILURE: return "failure";
    case XA_ERROR_OUT_OF_MEMORY: return "out of memory";
    case XA_ERROR_INVALID_PARAMETERS: return "invalid parameters";
    case XA_ERROR_NO_SUCH_PLAYER: return "no such player";
    case XA_ERROR_OPEN_FAILED: return "the input cannot be opened";
    case XA_ERROR_NO_INPUT: return "no input is open";
    case XA_ERROR_INVALID_FRAME: return "invalid frame";
    case XA_ERROR_SEEK_FAILED: return "seek failed";
    case XA_ERROR_OUTPUT_FAILED: return "the output failed";
    case XA_ERROR_NOT_SUPPORTED: return "not supported";
    case XA_ERROR_NOT_A_MESSAGE: return "not a message of this player";
    default: return "unknown error";
    }
}

int player_new(XA_PlayerHandle* player, HWND* window) {
    if (!player || !window) return XA_ERROR_INVALID_PARAMETERS;
    std::lock_guard lock(gMutex);
    XA_PlayerHandle h = gNextHandle++;
    if (gNextHandle == 0) gNextHandle = 1;
    try {
        gPlayers[h] = std::make_shared<xaudio::Player>(h, *window);
    } catch (const std::exception&) {
        return XA_ERROR_OUT_OF_MEMORY;
    }
    *player = h;
    return XA_SUCCESS;
}

int player_delete(XA_PlayerHandle player) {
    std::shared_ptr<xaudio::Player> p;
    {
        std::lock_guard lock(gMutex);
        auto it = gPlayers.find(player);
        if (it == gPlayers.end()) return XA_ERROR_NO_SUCH_PLAYER;
        p = std::move(it->second);
        gPlayers.erase(it);
    }
    p.reset();  // joins the decoding thread
    return XA_SUCCESS;
}

int player_set_priority(XA_PlayerHandle player, int priority) {
    auto p = Find(player);
    if (!p) return XA_ERROR_NO_SUCH_PLAYER;
    p->Priority = priority;
    return XA_SUCCESS;
}

int player_get_priority(XA_PlayerHandle player) {
    auto p = Find(player);
    return p ? p->Priority : XA_ERROR_NO_SUCH_PLAYER;
}

int control_win32_params_to_message(XA_PlayerHandle player, XA_Message* message, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto p = Find(player);
    if (!p) return XA_ERROR_NO_SUCH_PLAYER;
    return p->Convert(message, msg, wParam, lParam);
}

const void* control_message_pointer(XA_PlayerHandle player, std::uint32_t slot) {
    auto p = Find(player);
    return p ? p->Pointer(slot) : nullptr;
}

int control_message_send_N(XA_PlayerHandle player, int code) { return Send(player, Cmd(code)); }
int control_message_send_I(XA_PlayerHandle player, int code, int a) { return Send(player, Cmd(code, a)); }
int control_message_send_II(XA_PlayerHandle player, int code, int a, int b) { return Send(player, Cmd(code, a, b)); }
int control_message_send_III(XA_PlayerHandle player, int code, int a, int b, int c) {
    return Send(player, Cmd(code, a, b, c));
}
int control_message_send_S(XA_PlayerHandle player, int code, const char* s) {
    xaudio::Command c = Cmd(code);
    c.s1 = Text(s);
    return Send(player, std::move(c));
}
int control_message_send_SI(XA_PlayerHandle player, int code, const char* s, int a) {
    xaudio::Command c = Cmd(code, a);
    c.s1 = Text(s);
    return Send(player, std::move(c));
}
int control_message_send_SS(XA_PlayerHandle player, int code, const char* s1, const char* s2) {
    xaudio::Command c = Cmd(code);
    c.s1 = Text(s1);
    c.s2 = Text(s2);
    return Send(player, std::move(c));
}
int control_message_send_P(XA_PlayerHandle player, int code, const void* p) {
    xaudio::Command c = Cmd(code);
    // The only pointer command carries an equalizer record; it is copied now, so the caller's
    // record may go at once.
    if (p && code == XA_MSG_SET_CODEC_EQUALIZER) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        c.blob.assign(b, b + sizeof(XA_EqualizerInfo));
        c.hasBlob = true;
    }
    return Send(player, std::move(c));
}
int control_message_send_IPI(XA_PlayerHandle player, int code, int a, const void* p, int b) {
    if (b < 0 || (b > 0 && !p)) return XA_ERROR_INVALID_PARAMETERS;
    xaudio::Command c = Cmd(code, a, b);
    if (p) {
        const auto* bytes = static_cast<const std::uint8_t*>(p);
        c.blob.assign(bytes, bytes + b);
        c.hasBlob = true;
    }
    return Send(player, std::move(c));
}

}  // extern "C"

namespace xaudio {

win::ModuleDefinition Definition() {
        auto e = [](const char* name, auto fn) { return win::ModuleExport{name, reinterpret_cast<FARPROC>(fn)}; };
        return {"xaudio.dll",
                             {
                                 e("xaudio_get_api_version", &xaudio_get_api_version),
                                 e("xaudio_error_string", &xaudio_error_string),
                                 e("player_new", &player_new),
                                 e("player_delete", &player_delete),
                                 e("player_set_priority", &player_set_priority),
                                 e("player_get_priority", &player_get_priority),
                                 e("control_win32_params_to_message", &control_win32_params_to_message),
                                 e("control_message_pointer", &control_message_pointer),
                                 e("control_message_send_N", &control_message_send_N),
                                 e("control_message_send_I", &control_message_send_I),
                                 e("control_message_send_II", &control_message_send_II),
                                 e("control_message_send_III", &control_message_send_III),
                                 e("control_message_send_S", &control_message_send_S),
                                 e("control_message_send_SI", &control_message_send_SI),
                                 e("control_message_send_SS", &control_message_send_SS),
                                 e("control_message_send_P", &control_message_send_P),
                                 e("control_message_send_IPI", &control_message_send_IPI),
                             },
                             nullptr,
                             nullptr};
}

void Register() {
    static std::once_flag once;
    std::call_once(once, [] { win::RegisterModule(Definition()); });
}

bool AdvanceNullClock(XA_PlayerHandle player, unsigned ms) {
    auto p = Find(player);
    if (!p) return false;
    p->AdvanceClock(ms);
    return true;
}

int PlayerCount() {
    std::lock_guard lock(gMutex);
    return static_cast<int>(gPlayers.size());
}

}  // namespace xaudio
