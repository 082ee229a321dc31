// The asynchronous socket family: TCustomAsyncSocket (event-driven IPv4 TCP/UDP over a hidden
// window), TCustomSocksSocket (SOCKS 4, 4A and 5), TCustomLineSocket (line mode),
// TCustomSyncSocket (pumping waits) and the published TAsyncSocket.
//
// The sockets library is reached only through entry points looked up by name in "wsock32.dll";
// the library is loaded by the first call that needs it and released when the last socket goes.
// Every socket owns a hidden window of the class "XSocketWindowClass", whose window long 0 holds
// the socket; all its notifications arrive there as messages on the thread that created it. The waits of the socket
// (Flush, WaitForClose, a close that has to wait, WaitUntilDone) dispatch what is queued and then
// block in the thread's message wait until the next message, timer or socket event.
//
// A graceful Close first sends what is queued, for at most FlushTimeout seconds while pumping;
// data still queued then is dropped and the close reports WSAETIMEDOUT (10060) through
// LastError and OnSessionClosed. Abort, a close by the peer and a failed send discard the queue.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/components.h"
#include "platform/classlib/messages.h"
#include "platform/classlib/strings.h"
#include "platform/classlib/sysutils.h"
#include "platform/win/winuser.h"
#include "platform/winsock/winsock.h"
#include "transport/SendBuffer.h"

namespace asyncsocket {
enum class TSocksFailure;
struct TSocksReplyVerdict;
}

CLASSLIB_EXCEPTION(ESocketException, Exception);

// Messages of the socket window.
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;      // 1025
constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;  // 1026
constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;  // 1027
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;    // 1028
constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;  // 1029
constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;  // 1030
constexpr UINT WM_TRIGGER_DATA_AVAILABLE = WM_USER + 20;  // 1044

// The window class of the socket windows.
constexpr const char* SocketWindowClass = "XSocketWindowClass";

enum TSocketState {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7
};
enum TSocketLingerOnOff { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };
enum TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };
enum TSocketOption : unsigned { wsoNoReceiveLoop = 1u << 0 };
using TSocketOptions = unsigned;  // set of TSocketOption
enum TSocksAuthentication { socksNoAuthentication = 0, socksAuthenticateUsercode = 1 };
enum TSocksAuthState { socksAuthStarted = 0, socksAuthSucceeded = 1, socksAuthClosed = 2, socksAuthSkipped = 3 };

using TSessionConnected = std::function<void(TObject* Sender, WORD Error)>;
using TSessionClosed = std::function<void(TObject* Sender, WORD Error)>;
using TSessionAvailable = std::function<void(TObject* Sender, WORD Error)>;
using TDataAvailable = std::function<void(TObject* Sender, WORD Error)>;
using TDataSent = std::function<void(TObject* Sender, WORD Error)>;
using TSendData = std::function<void(TObject* Sender, int BytesSent)>;
using TChangeState = std::function<void(TObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TDnsLookupDone = std::function<void(TObject* Sender, WORD Error)>;
using TBgExceptionEvent = std::function<void(TObject* Sender, Exception& E, bool& CanClose)>;
using TSocksErrorEvent = std::function<void(TObject* Sender, int Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* Sender, TSocksAuthState AuthState)>;

// The fixed English text of a sockets error code.
std::string SocketErrorText(int ErrCode);

// Blocking resolution (raise ESocketException directly).
ULONG SocketResolveHost(const std::string& InAddr);                       // network order
u_short SocketResolvePort(const std::string& Port, const std::string& Proto);  // host order
int SocketResolveProto(const std::string& Proto);
bool IsDottedAddress(const std::string& S);
int LeadingNumber(const std::string& S);

// The library binding.
FARPROC GetWinsockProc(const std::string& Name);
void UnloadWinsock();
bool WinsockLoaded();
int SocketObjectCount();

class TCustomAsyncSocket : public TComponent {
public:
    explicit TCustomAsyncSocket(TComponent* AOwner);
    ~TCustomAsyncSocket() override;
    const char* ClassName() const override { return "TCustomAsyncSocket"; }

    // Settings.
    std::string Addr() const { return FAddrStr; }
    void SetAddr(const std::string& Value);
    std::string Port() const { return FPortStr; }
    void SetPort(const std::string& Value) { WritePort(Value); }
    std::string Proto() const { return FProtoStr; }
    void SetProto(const std::string& Value) { WriteProto(Value); }
    std::string LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& Value);
    std::string LocalPort() const { return FLocalPortStr; }
    void SetLocalPort(const std::string& Value);
    TSocketLingerOnOff LingerOnOff = wsLingerOff;
    int LingerTimeout = 0;
    int FlushTimeout = 60;
    TSocketSendFlags SendFlags() const;
    void SetSendFlags(TSocketSendFlags Value);
    bool MultiThreaded = false;
    TSocketOptions ComponentOptions = 0;

    // State.
    TSocketState State() const { return FState; }
    int LastError() const { return FLastError; }
    // Bytes taken by Receive and ReceiveFrom since the last close: a 32-bit count that wraps
    // modulo 2^32 (past 2^31 - 1 it goes on from -2^31) instead of overflowing.
    int ReadCount() const { return FReadCount; }
    int RcvdCount() { return ReadRcvdCount(); }
    std::string PeerAddr() { return ReadPeerAddr(); }
    std::string PeerPort() { return GetPeerPort(); }
    std::string DnsResult() const { return FDnsResult; }
    TStrings* DnsResultList() const { return FDnsResultList.get(); }
    SOCKET HSocket() const { return FHSocket; }
    HWND WindowHandle() const { return FWindowHandle; }
    bool Terminated() const { return FTerminated; }
    bool AllSent() const { return FAllSent; }
    int SendQueueChunks() const { return static_cast<int>(FSendQueue.size()); }

    // Events.
    TSessionConnected OnSessionConnected;
    TSessionClosed OnSessionClosed;
    TSessionAvailable OnSessionAvailable;
    TDataAvailable OnDataAvailable;
    TDataSent OnDataSent;
    TSendData OnSendData;
    TChangeState OnChangeState;
    TDnsLookupDone OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    TNotifyEvent OnLineTooLong;

    virtual void HandleMessage(TMessage& Msg);
    virtual int ReadRcvdCount();
    virtual void Connect();
    virtual void Close();
    virtual void CloseDelayed();
    virtual void Release();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForClose();
    virtual void Listen();
    virtual SOCKET Accept();
    virtual int Receive(void* Buffer, int Size);
    virtual std::string ReceiveStr();
    virtual int ReceiveFrom(void* Buffer, int Size, SOCKADDR_IN& From, int& FromLen);
    virtual int Send(const void* Data, int Len);
    virtual int SendTo(const SOCKADDR_IN& Dest, int DestLen, const void* Data, int Len);
    virtual int SendStr(const std::string& S);
    virtual void DnsLookup(const std::string& HostName);
    virtual void ReverseDnsLookup(const std::string& HostAddr);
    virtual void CancelDnsLookup();
    virtual std::string ReadPeerAddr();
    virtual std::string GetPeerPort();
    virtual int GetPeerSockAddr(SOCKADDR_IN& Name, int& NameLen);
    virtual std::string GetLocalPortText();
    virtual bool TimeValueIsSet(const long* tv);
    virtual void TimeValueClear(long* tv);
    virtual bool TimeValueCompare(const long* a, const long* b, bool Equal);
    virtual int GetLocalSockAddr(SOCKADDR_IN& Name, int& NameLen);
    virtual void Dup(SOCKET NewHSocket);
    virtual void Shutdown(int How);
    virtual int Pause();
    virtual int Resume();
    virtual void PumpPending();

    // Waiting helpers of the binding.
    void PumpMessages();
    bool PumpOne();
    virtual void HandleBgException(Exception& E);

protected:
    virtual void ResetDefaults();
    virtual void DoClose(bool Shut, int Error);
    virtual void WritePort(const std::string& Value);
    virtual void WriteProto(const std::string& Value);
    virtual void BindLocal();
    virtual int SendRaw(const void* Data, int Len);
    virtual void RaiseErrorFmt(const std::string& Fmt, std::initializer_list<FormatArg> Args);
    virtual void RaiseError(const std::string& Msg);
    virtual bool FireDataAvailable(WORD Error);
    virtual void FireSessionAvailable(WORD Error);
    virtual void FireSessionConnected(WORD Error);
    virtual void FireSessionClosed(WORD Error);
    virtual void FireDataSent(WORD Error);
    virtual void FireChangeState(TSocketState OldState, TSocketState NewState);
    virtual void FireDnsLookupDone(WORD Error);
    virtual void FireError();
    virtual int RecvRaw(void* Buffer, int Size, int Flags);
    virtual int RecvRawFrom(void* Buffer, int Size, int Flags, SOCKADDR_IN& From, int& FromLen);

    void ChangeState(TSocketState NewState);
    void SetLingerOption();
    void ReportSocketError(const std::string& FuncName);
    void TryToSend();
    bool NothingQueued() const;  // every chunk of the send queue is sent
    void QueueData(const void* Data, int Len);
    // Sends what is queued while pumping, for at most TimeoutMs; true when the queue drained (or
    // the connection went away meanwhile).
    bool FlushQueue(DWORD TimeoutMs);
    // Blocks in the thread's message wait until a message, a timer or a socket event is ready,
    // or for at most TimeoutMs; returns at once when a WM_QUIT was taken.
    void WaitForEvent(DWORD TimeoutMs = INFINITE);
    // A WM_QUIT was taken by the socket's pump or the application is terminating.
    bool QuitSeen() const;
    void FreeSendQueue();
    void ReceiveLoop(WORD Error);
    void MarkDestroying();

    // Resolved target.
    SOCKADDR_IN FSin{};
    bool FAddrResolved = false;
    bool FPortResolved = false;
    bool FProtoResolved = false;
    bool FAddrAssigned = false;
    bool FPortAssigned = false;
    bool FProtoAssigned = false;
    bool FLocalPortResolved = false;
    int FProto = 6;
    int FType = WS_SOCK_STREAM;
    u_short FPortNum = 0;
    u_short FLocalPortNum = 0;

    SOCKET FHSocket = INVALID_SOCKET;
    TSocketState FState = wsClosed;
    int FLastError = 0;
    int FReadCount = 0;
    // The last read of the stream took fewer bytes than it asked for, so it emptied the socket's
    // queue: what arrives after it brings its own FD_READ.
    bool FReadDrained = false;
    bool FCloseInvoked = false;
    bool FAllSent = true;
    bool FPaused = false;
    long FSelectMask = 0;
    int FSendFlags = 0;
    int FChunkSize = TBuffer::DefaultSize;
    std::list<std::unique_ptr<TBuffer>> FSendQueue;
    std::vector<char> FGatherBuf;  // the chunks handed to one send of a stream socket
    HANDLE FLookupHandle = nullptr;
    alignas(8) char FDnsBuffer[1025] = {};

private:
    static constexpr DWORD LingerPollMs = 10;   // how often a lingering close is tried again
    HWND CreateSocketWindow();
    static LRESULT SocketWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
    void WriteTarget(const char* Name, const std::string& Value, std::string& Text, bool& Assigned, bool& Resolved);
    bool StartLookup(const std::string& Text);
    void ResolveTarget(bool LocalPort);
    void DispatchSocketMessage(TMessage& Msg);
    void HandleSocketEvent(TMessage& Msg);
    void HandleLookupReply(TMessage& Msg, bool ByName);

    std::string FAddrStr;
    std::string FPortStr;
    std::string FProtoStr = "tcp";
    std::string FLocalAddr = "0.0.0.0";
    std::string FLocalPortStr = "0";
    std::string FDnsResult;
    std::unique_ptr<TStringList> FDnsResultList;
    HWND FWindowHandle = nullptr;
    bool FTerminated = false;
    bool FCounted = false;
};

class TCustomSocksSocket : public TCustomAsyncSocket {
public:
    explicit TCustomSocksSocket(TComponent* AOwner);
    const char* ClassName() const override { return "TCustomSocksSocket"; }

    static constexpr int SocksBufferSize = 262;  // the longest reply: 7 + a 255-byte domain name

    std::string SocksServer() const { return FSocksServer; }
    void SetSocksServer(const std::string& Value) { WriteSocksServer(Value); }
    std::string SocksPort() const { return FSocksPort; }
    void SetSocksPort(const std::string& Value) { WriteSocksPort(Value); }
    std::string SocksLevel() const;
    void SetSocksLevel(const std::string& Value);
    std::string SocksUsercode;
    std::string SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;
    // Where the negotiation stands.
    enum class TSocksPhase { Ready = 0, MethodReply = 1, AuthReply = 2, ConnectReply = 3 };
    TSocksPhase SocksPhase() const { return FSocksPhase; }

    TSessionConnected OnSocksConnected;
    TSocksErrorEvent OnSocksError;
    TSocksAuthStateEvent OnSocksAuthState;

    void Connect() override;
    void Listen() override;
    int ReadRcvdCount() override;

protected:
    virtual void FireSocksConnected(WORD Error);
    virtual void WriteSocksPort(const std::string& Value);
    virtual void WriteSocksServer(const std::string& Value);
    virtual void FireSocksError(int Error, const std::string& Msg);

    void ResetDefaults() override;
    void FireSessionConnected(WORD Error) override;
    void FireSessionClosed(WORD Error) override;
    bool FireDataAvailable(WORD Error) override;
    int RecvRaw(void* Buffer, int Size, int Flags) override;

    void SocksFail(int Code, const std::string& Msg);
    void SendAuthRequest();
    void SendSocksRequest();
    void FireSocksAuthState(TSocksAuthState AuthState);

private:
    enum class TSocksLevel { Socks4, Socks4A, Socks5 };
    void ResetSocks();
    int ReceiveReply(int Max);
    void SocksFail(asyncsocket::TSocksFailure Failure, const std::string& Suffix = {});
    void SendMethodOffer();
    void SendRequest(const std::string& Req);
    bool HandleMethodReply();
    bool HandleAuthReply();
    bool HandleSocks4Reply();
    bool HandleSocks5Reply();
    bool SocksRefused(const asyncsocket::TSocksReplyVerdict& Verdict);

    std::string FSocksServer;
    std::string FSocksPort;
    TSocksLevel FSocksLevel = TSocksLevel::Socks5;
    TSocksPhase FSocksPhase = TSocksPhase::Ready;
    unsigned char FReplyBuf[SocksBufferSize] = {};  // the server's reply as it arrives
    int FReplyCount = 0;
    int FSocksMethod = 0;
    int FLeftCount = 0;
    int FLeftPos = 0;
    u_short FTargetPort = 0;
};

class TCustomLineSocket : public TCustomSocksSocket {
public:
    explicit TCustomLineSocket(TComponent* AOwner);
    ~TCustomLineSocket() override;
    const char* ClassName() const override { return "TCustomLineSocket"; }

    bool LineMode() const { return FLineMode; }
    void SetLineMode(bool Value) { WriteLineMode(Value); }
    std::string LineEnd = "\r\n";
    bool LineEcho = false;
    bool LineEdit = false;
    int LineLength() const { return FLineLength; }
    int LineBufferCount() const { return static_cast<int>(FLineBuf.size()); }

    void HandleMessage(TMessage& Msg) override;
    int ReadRcvdCount() override;

protected:
    virtual void WriteLineMode(bool Value);
    virtual void EditLine(int& N);
    int RecvRaw(void* Buffer, int Size, int Flags) override;
    bool FireDataAvailable(WORD Error) override;
    void FireSessionClosed(WORD Error) override;

private:
    bool FLineMode = false;
    std::string FLineBuf;  // bytes received but not yet handed out
    int FLineLength = 0;
};

class TCustomSyncSocket : public TCustomLineSocket {
public:
    explicit TCustomSyncSocket(TComponent* AOwner) : TCustomLineSocket(AOwner) {}
    const char* ClassName() const override { return "TCustomSyncSocket"; }

    virtual int RunAndWait(const std::function<void()>& Proc, bool& Done);
    virtual int WaitUntilDone(bool& Done);

protected:
    DWORD FTimeout = 0;
    DWORD FTimeStop = 0;
};

class TAsyncSocket : public TCustomSyncSocket {
public:
    explicit TAsyncSocket(TComponent* AOwner) : TCustomSyncSocket(AOwner) {}
    const char* ClassName() const override { return "TAsyncSocket"; }
};
