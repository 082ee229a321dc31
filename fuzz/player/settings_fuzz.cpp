// Fuzzes the reading of Dorlin.ini: the gain list, the flags, the skin folder, the preset names and
// values, the playlist lines (read up to their last "="), and the gain list's round trip.
#include <stdlib.h>

#include <cstdint>
#include <string>

#include "platform/classlib/inifiles.h"
#include "platform/win/statedir.h"
#include "player/Main.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

const std::string& Folder() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/dorlin-fuzz-XXXXXX";
        const char* d = mkdtemp(tmpl);
        setenv("MARENDO_HOME", d ? d : "/tmp", 1);
        return std::string(d ? d : "/tmp");
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file = Folder() + "/Dorlin.ini";
    if (!win::WriteFileAtomic(file, std::string(reinterpret_cast<const char*>(data), size), 0600)) return 0;
    TIniFile ini(file);
    dorlin::TStoredSettings s;
    int reports = 0;
    dorlin::ReadStoredSettings(ini, "c:\\Dorlin\\", s, [&](const std::string&) { ++reports; });
    TStringList seen;
    for (const auto& p : s.Playlist) {
        Check(!p.empty());
        Check(seen.IndexOf(p) < 0);
        seen.Add(p);
    }
    // Every preset's value converts (bad items as 0) and formats back to a list that reads the same.
    for (const auto& name : s.Presets) {
        TEQValues v{};
        dorlin::StrToEQValues(ini.ReadString("EQ_DATA", name, ""), v, nullptr);
        TEQValues again{};
        dorlin::StrToEQValues(dorlin::EQValuesToStr(v), again, [](const std::string&) { Check(false); });
        Check(again == v);
    }
    const XA_EqualizerInfo rec = dorlin::EqualizerRecord(s.EQ);
    Check(rec.left[31] == rec.right[31]);
    return 0;
}
