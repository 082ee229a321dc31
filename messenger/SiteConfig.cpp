// The configured host names: environment, then the hosts file of the state folder, then defaults.
#include "messenger/SiteConfig.h"

#include <cstdlib>

#include "platform/classlib/inifiles.h"
#include "platform/win/statedir.h"

namespace siteconfig {
namespace {

std::string Configured(const char* variable, const char* key, const char* fallback) {
    if (const char* env = std::getenv(variable); env && *env) return env;
    TIniFile hosts(win::StateDir() + "/" + HostsFileName);
    std::string value = hosts.ReadString("Hosts", key, "");
    return value.empty() ? fallback : value;
}

}  // namespace

std::string Maker() { return Configured("TOLVAR_MAKER_HOST", "Maker", MakerHost); }
std::string SuperOnline() { return Configured("TOLVAR_SUPERONLINE_HOST", "SuperOnline", SuperOnlineHost); }
std::string MakerUrl(const std::string& path) { return "http://" + Maker() + path; }

}  // namespace siteconfig
