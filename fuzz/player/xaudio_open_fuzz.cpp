// Fuzzes the decoder library's reading of MPEG audio files: open (scan, format, duration), then
// playing to the end as fast as decoding goes; every file ends either in a refusal or in one end
// of stream, and the player goes away cleanly.
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/classlib/messages.h"
#include "platform/win/statedir.h"
#include "platform/win/winbase.h"
#include "platform/win/winuser.h"
#include "platform/xaudio/xaudio.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

const std::string& Folder() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/xaudio-fuzz-XXXXXX";
        const char* d = mkdtemp(tmpl);
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = Folder() + "/input.mp3";
    if (!win::WriteFileAtomic(file, std::string(reinterpret_cast<const char*>(data), size), 0600)) return 0;
    XA_PlayerHandle player = 0;
    int nacks = 0, ends = 0, exited = 0;
    HWND wnd = AllocateHWnd([&](TMessage& msg) {
        XA_Message m{};
        if (control_win32_params_to_message(player, &m, msg.Msg, msg.WParam, msg.LParam) != XA_SUCCESS) return;
        nacks += m.code == XA_MSG_NOTIFY_NACK;
        ends += m.code == XA_MSG_NOTIFY_PLAYER_STATE && m.data[0] == XA_PLAYER_STATE_EOS;
        exited += m.code == XA_MSG_NOTIFY_EXITED;
        if (m.code == XA_MSG_NOTIFY_INPUT_NAME) Check(control_message_pointer(player, m.data[0]) != nullptr);
    });
    Check(player_new(&player, &wnd) == XA_SUCCESS);
    control_message_send_S(player, XA_MSG_SET_OUTPUT_NAME, "null:fast");
    control_message_send_S(player, XA_MSG_COMMAND_INPUT_OPEN, file.c_str());
    control_message_send_N(player, XA_MSG_COMMAND_PLAY);
    const DWORD start = GetTickCount();
    while (nacks == 0 && ends == 0 && GetTickCount() - start < 20000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (nacks || ends) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    Check(nacks > 0 || ends == 1);
    control_message_send_N(player, XA_MSG_COMMAND_EXIT);
    while (!exited && GetTickCount() - start < 25000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (exited) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    Check(exited == 1);
    Check(player_delete(player) == XA_SUCCESS);
    DeallocateHWnd(wnd);
    return 0;
}
