#include "messenger/NewsFile.h"

#include <strings.h>

#include "platform/classlib/inifiles.h"

namespace news {

bool IsNewerStamp(const std::string& stamp) {
    // std::string compares bytes as unsigned char, a prefix first.
    return stamp.compare("17") > 0;
}

TNews ReadNews(const std::string& fileName, const std::string& fallback) {
    TIniFile ini(fileName);
    TNews n;
    n.Surum = ini.ReadString("Kontrol", "Surum", "");
    n.Url1 = ini.ReadString("1", "Url1", fallback);
    n.Yazi1 = ini.ReadString("1", "Yazi1", fallback);
    n.Url2 = ini.ReadString("2", "Url2", fallback);
    n.Yazi2 = ini.ReadString("2", "Yazi2", fallback);
    return n;
}

bool IsWebLink(const std::string& url) {
    return strncasecmp(url.c_str(), "http://", 7) == 0 || strncasecmp(url.c_str(), "https://", 8) == 0;
}

}  // namespace news
