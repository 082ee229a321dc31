// Fuzzes the hosts file of the messenger's state folder as the program reads it: the profile
// reader looks for [Hosts] Maker and SuperOnline in whatever bytes the file holds, and each value
// becomes the host of a gateway URL for which the HTTP client plans its request.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "messenger/GatewayForm.h"
#include "messenger/SiteConfig.h"
#include "transport/HttpClient/Protocol.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A state folder of the process's own.
const std::string& Home() {
    static const std::string home = [] {
        char dir[] = "/tmp/tolvar-hosts-fuzz-XXXXXX";
        const char* made = mkdtemp(dir);
        setenv("MARENDO_HOME", made ? made : "/tmp", 1);
        unsetenv("TOLVAR_MAKER_HOST");
        unsetenv("TOLVAR_SUPERONLINE_HOST");
        return std::string(made ? made : "/tmp");
    }();
    return home;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Home() + "/" + siteconfig::HostsFileName;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const std::string maker = siteconfig::Maker();
    const std::string superOnline = siteconfig::SuperOnline();
    Check(!maker.empty() && !superOnline.empty());  // an empty value falls back to the default
    http::PlanRequest(siteconfig::MakerUrl(messenger::NormalPath), "", "80");
    http::PlanRequest("http://" + superOnline + messenger::SuperOnlinePath, maker, "8080");
    return 0;
}
