// Where the maker's web presence lives. One place for the host names, so a test installation or a
// mirror changes them here and nowhere else.
#pragma once

namespace siteconfig {

// The host of the maker's scripts, news file and pages.
inline constexpr const char* MakerHost = "www.marendo.example";
// The site the "Marendo Sitesi" menu opens in the browser.
inline constexpr const char* MakerSiteUrl = "http://www.marendo.example/";
// The news file, fetched when the machine comes online.
inline constexpr const char* NewsPath = "/marendo/smsyeni.txt";

}  // namespace siteconfig
