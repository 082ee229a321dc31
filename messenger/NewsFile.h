// The news file the messenger fetches when the machine comes online: where it lives, how its version
// stamp is judged and what it announces.
//
// The file is in ini layout: [Kontrol] Surum=<stamp>, [1] Url1=, Yazi1=, [2] Url2=, Yazi2=.
#pragma once

#include <string>

namespace news {

// The one file the downloader writes and the main window reads (a program path).
inline constexpr const char* FileName = "c:\\yenilik";
// The most bytes a fetched news file may have: a real one has a few hundred, and a longer answer is
// no news file (the download fails and the last file stays).
inline constexpr int MaxSize = 1024 * 1024;

// Whether a stamp sorts after "17" in plain byte order: "18", "2", "9" and "170" do; "17", "1",
// "09", "100" and "" do not.
bool IsNewerStamp(const std::string& stamp);

struct TNews {
    std::string Surum;
    std::string Url1, Yazi1, Url2, Yazi2;
    bool Newer() const { return IsNewerStamp(Surum); }
};

// Reads the file through the profile functions; a missing value of an announcement is `fallback`
// (the maker's web site address), a missing stamp is empty.
TNews ReadNews(const std::string& fileName, const std::string& fallback);

// Whether a link may be handed to the shell: only web addresses ("http://" or "https://", in any
// letter case) are; a file, program or other scheme is not.
bool IsWebLink(const std::string& url);

}  // namespace news
