// Where the maker's web presence and the SuperOnline WAP form live.
//
// The two host names are configuration: each may carry ":port". They are looked up, every time they
// are asked for, in this order:
//   1. the environment: TOLVAR_MAKER_HOST, TOLVAR_SUPERONLINE_HOST;
//   2. the file "tolvar-hosts.ini" in the state folder (win::StateDir()), section [Hosts], keys
//      Maker and SuperOnline;
//   3. the defaults below.
// An empty value counts as absent. Tests and scripts/run point them at a local gateway fake.
#pragma once

#include <string>

namespace siteconfig {

// The defaults: the host of the maker's scripts, news file and pages, and the SuperOnline WAP host.
inline constexpr const char* MakerHost = "www.marendo.example";
inline constexpr const char* SuperOnlineHost = "wap.superonline.example";
// The site the "Marendo Sitesi" menu opens in the browser.
inline constexpr const char* MakerSiteUrl = "http://www.marendo.example/";
// The news file, fetched when the machine comes online.
inline constexpr const char* NewsPath = "/marendo/smsyeni.txt";

// The configuration file's name inside the state folder.
inline constexpr const char* HostsFileName = "tolvar-hosts.ini";

// The configured hosts (host or host:port).
std::string Maker();
std::string SuperOnline();
// "http://" + Maker() + path.
std::string MakerUrl(const std::string& path);

}  // namespace siteconfig
