// THTTPGet: the background downloader the messenger uses for its news file.
//
// This is the component's outer shape: the published properties with their defaults and the
// events, so that the main window can hold and configure one. The worker thread and the WinInet
// exchange arrive with the downloader's own implementation; until then StartDownload is not offered
// and no event fires.
#pragma once

#include <functional>
#include <string>

#include "platform/classlib/components.h"

using TOnProgressEvent = std::function<void(TObject* Sender, int TotalSize, int Readed)>;
using TOnDoneFileEvent = std::function<void(TObject* Sender, const std::string& FileName, int FileSize)>;
using TOnDoneStringEvent = std::function<void(TObject* Sender, const std::string& Result)>;

class THTTPGet : public TComponent {
public:
    explicit THTTPGet(TComponent* AOwner);
    const char* ClassName() const override { return "THTTPGet"; }

    std::string AcceptTypes = "*/*";
    std::string Agent = "Brenwick HTTPGet";
    bool BinaryData = false;  // false: text mode
    std::string URL;
    bool UseCache = false;
    std::string FileName;
    std::string UserName;
    std::string Password;
    std::string PostQuery;
    std::string Referer;
    bool WaitThread = false;

    TOnProgressEvent OnProgress;
    TOnDoneFileEvent OnDoneFile;
    TOnDoneStringEvent OnDoneString;
    TNotifyEvent OnError;
};
