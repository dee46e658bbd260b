// SPDX-License-Identifier: GPL-3.0-or-later
// The listener's thread keeps the traces of the window's listener thread that it was first, word
// for word: "CTarnlowServerDlg::ServerThread()".
#include "Listener.h"

#include "ControlProtocol.h"
#include "Format.h"

#include <chrono>
#include <cstring>
#include <utility>

namespace
{

constexpr long kListenerEvents = FD_READ | FD_ACCEPT | FD_CONNECT;
constexpr const char* kAnyAddress = "0.0.0.0";
// What the IP Address label says when the machine has no address.
constexpr const char* kNoAddress = "none";
constexpr DWORD kAdvised = WAIT_OBJECT_0 + 2;
constexpr DWORD kAddressChanged = WAIT_OBJECT_0 + 3;
// The listener was bound anew to a changed address, or could not be for a minute while there is
// no window: not events of the system's.
constexpr DWORD kRebound = 0xFFFFFFFE;
constexpr DWORD kDeaf = 0xFFFFFFFD;
// A new address may still be tentative: it is tried again this often, for this long.
constexpr DWORD kRebindRetryMs = 2000;
constexpr std::chrono::minutes kRebindPatience{1};

// Accept failures that only mean the client went away before it could be accepted.
bool ClientWentAway(int nError)
{
    return nError == WSAEWOULDBLOCK || nError == WSAECONNABORTED || nError == WSAECONNRESET;
}

std::string ErrorText(const char* pszCall)
{
    return FormatText("CTarnlowServerDlg::ServerThread(): %s failed with error: %d\n", pszCall,
                      Winsock::WSAGetLastError());
}

} // namespace

CListener::CListener(CSockets& sockets, CRequestHandler& handler, ILogSink& log, SReports reports,
                     bool bHeadless)
    : m_Sockets(sockets), m_Handler(handler), m_Log(log), m_Reports(std::move(reports)),
      m_bHeadless(bHeadless)
{
}

CListener::~CListener()
{
    for (const HANDLE hHandle : {m_hThread, m_hStopEvent, m_hAdviceEvent}) {
        if (hHandle != nullptr)
            CloseHandle(hHandle);
    }
}

bool CListener::Start(int nPort, const std::string& strAddress)
{
    m_nPort = nPort;
    m_strListenAddress = strAddress;
    // Each server has a stop event of its own, so that closing one never stops another.
    m_hStopEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_hAdviceEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_bRunning = true;
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    if (m_hThread == nullptr)
        m_bRunning = false;
    return m_bRunning;
}

void CListener::Stop()
{
    m_bRunning = false;
    if (m_hStopEvent != nullptr)
        SetEvent(m_hStopEvent);
}

DWORD CListener::ThreadProc(LPVOID pParam)
{
    static_cast<CListener*>(pParam)->ServerThread();
    return 0;
}

void CListener::ServerThread()
{
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Start\n");
    // The sharing service's objects are used from here too: this thread joins their apartment.
    const HRESULT hrCom = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SOCKET hClient = INVALID_SOCKET;
    bool bWaited = false;
    try {
        // Asked for before the socket is bound, so that no change of address goes unseen.
        ArmAddressWatch();
        OpenListeningSocket();
        // An address that came while the server started is followed at once.
        FollowAddressChange();
        while (m_bRunning)
            RunListenerCycle(hClient, bWaited);
    } catch (const std::string& strThrown) {
        const std::string strError = strThrown + "Server Thread is exiting\n";
        OutputDebugStringA(strError.c_str());
        // The log says that the server no longer listens, whether it never started or stopped.
        m_Log.AddEntry(bWaited ? "Stopped listening for clients"
                               : "Failed to start listening for clients",
                       ILogSink::EPriority::Warning);
        if (m_bRunning)
            m_Reports.Ended();
    }
    m_AddressWatch.Disarm();
    if (hClient != INVALID_SOCKET)
        Winsock::closesocket(hClient);
    if (SUCCEEDED(hrCom))
        CoUninitialize();
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Finish\n");
}

void CListener::OpenListeningSocket()
{
    if (!m_Sockets.SocketCreate())
        throw ErrorText("socket create");
    // The port is this server's alone: a second server fails to listen on it.
    const int nExclusive = 1;
    m_Sockets.SocketSetOption(SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                              reinterpret_cast<const char*>(&nExclusive), sizeof nExclusive);
    const int nPort = m_nPort;
    m_Sockets.SocketAddressClear();
    m_Sockets.SocketAddressSetFamily(AF_INET);
    m_Sockets.SocketAddressSetPort(static_cast<unsigned short>(nPort));
    // With no interface listed, any address of the machine will do.
    m_Sockets.SocketAddressSetAddress(m_strListenAddress.empty() ? std::string(kAnyAddress)
                                                                 : m_strListenAddress);
    // A port beyond TCP's range fails as a bind would, instead of binding another port.
    const bool bPortInRange = ControlProtocol::IsPortInRange(nPort);
    if (!bPortInRange)
        Winsock::WSASetLastError(WSAEINVAL);
    if (!bPortInRange || !m_Sockets.SocketBind()) {
        const std::string strError = ErrorText("bind()");
        m_Sockets.SocketClose();
        throw strError;
    }
    if (!m_Sockets.SocketSetListen()) {
        const std::string strError = ErrorText("listen()");
        m_Sockets.SocketClose();
        throw strError;
    }
}

void CListener::FailListener(const std::string& strError, WSAEVENT hEvent)
{
    if (hEvent != WSA_INVALID_EVENT)
        Winsock::WSACloseEvent(hEvent);
    m_Sockets.SocketShutdown();
    m_Sockets.SocketClose();
    throw strError;
}

void CListener::RunListenerCycle(SOCKET& hClient, bool& bWaited)
{
    const WSAEVENT hEvent = Winsock::WSACreateEvent();
    if (hEvent == WSA_INVALID_EVENT)
        FailListener(ErrorText("WSACreateEvent()"), WSA_INVALID_EVENT);
    if (!m_Sockets.SocketWSAEventSelect(hEvent, kListenerEvents))
        FailListener(ErrorText("WSAEventSelect()"), hEvent);
    // A client kept away leaves no trace of its own in the log, so the wait goes on unsaid.
    if (!std::exchange(m_bClientKeptAway, false))
        m_Log.AddEntry("Waiting for a socket event");
    bWaited = true;
    const DWORD dwResult = WaitForListenerEvent(hEvent);
    if (dwResult == kRebound) {
        // The event belonged to the socket that was closed: the next cycle selects anew.
        Winsock::WSACloseEvent(hEvent);
        return;
    }
    if (dwResult == kDeaf)
        FailListener(m_strRebindError, hEvent);
    OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Event\n");
    if (dwResult == WAIT_OBJECT_0) {
        ServeClient(hEvent, hClient);
        Winsock::WSACloseEvent(hEvent);
        return;
    }
    if (dwResult == WAIT_OBJECT_0 + 1) {
        Winsock::WSACloseEvent(hEvent);
        m_Sockets.SocketShutdown();
        m_Sockets.SocketClose();
        const std::string strTrace = "CTarnlowServerDlg::ServerThread(): Heeding request to stop "
                                     "server... Server thread is exiting\n";
        OutputDebugStringA(strTrace.c_str());
        return;
    }
    m_Log.AddEntry("Unhandled socket event", ILogSink::EPriority::Warning);
    FailListener(FormatText("CTarnlowServerDlg::ServerThread(): Unexpected return code from "
                            "WaitForMultipleObjects() :%d : error : %d...\n",
                            static_cast<int>(dwResult), static_cast<int>(GetLastError())),
                 hEvent);
}

DWORD CListener::WaitForListenerEvent(WSAEVENT hEvent)
{
    for (;;) {
        const HANDLE handles[] = {hEvent, m_hStopEvent, m_hAdviceEvent, m_AddressWatch.Event()};
        const DWORD nHandles = m_AddressWatch.IsArmed() ? 4 : 3;
        const DWORD dwTimeout = m_strPendingAddress.empty() ? INFINITE : kRebindRetryMs;
        const DWORD dwResult = WaitForMultipleObjects(nHandles, handles, FALSE, dwTimeout);
        if (dwResult == kAdvised) {
            // The service kept or restored a sharing: the list shows it at once.
            m_Handler.LogSharingAdvice();
            m_Reports.SharingChanged();
            continue;
        }
        if (dwResult != kAddressChanged && dwResult != WAIT_TIMEOUT)
            return dwResult;
        switch (FollowAddressChange()) {
        case EFollowed::Rebound:
            return kRebound;
        case EFollowed::Deaf:
            return kDeaf;
        case EFollowed::Unchanged:
            break;
        }
    }
}

void CListener::ArmAddressWatch()
{
    if (!m_AddressWatch.Arm() && !std::exchange(m_bWatchFailureSaid, true))
        m_Log.AddEntry("The server cannot follow changes of its address",
                       ILogSink::EPriority::Warning);
}

// Entry 0 of the interface list is where the server listens. Where it cannot listen yet at a new
// address, it listens on at the old one and tries again every 2 seconds for a minute, and at the
// next change; without a window it then gives up, so that its service manager starts it again.
CListener::EFollowed CListener::FollowAddressChange()
{
    // Asked for again first, so that a change while this one is followed is not missed.
    ArmAddressWatch();
    const std::string strAddress = LocalAddressNow();
    if (strAddress == m_strListenAddress) {
        m_strPendingAddress.clear();
        return EFollowed::Unchanged;
    }
    if (m_strPendingAddress.empty() || strAddress != m_strPendingAddress) {
        m_strPendingAddress = strAddress;
        m_PendingSince = std::chrono::steady_clock::now();
        m_bPendingSaid = false;
        m_Log.AddEntry(FormatText("The server's address is now %s", Shown(strAddress).c_str()));
    }
    const EListened listened = ListenAt(strAddress);
    if (listened == EListened::There) {
        m_strPendingAddress.clear();
        m_Log.AddEntry("Listening for clients");
        m_Reports.Moved(Shown(strAddress));
        return EFollowed::Rebound;
    }
    if (!std::exchange(m_bPendingSaid, true))
        m_Log.AddEntry(FormatText("The server cannot listen at %s yet, and listens at %s",
                                  Shown(strAddress).c_str(), Shown(m_strListenAddress).c_str()),
                       ILogSink::EPriority::Warning);
    // A socket made anew at the old address is selected anew, as a rebound one is.
    const EFollowed kept =
        listened == EListened::Reopened ? EFollowed::Rebound : EFollowed::Unchanged;
    if (std::chrono::steady_clock::now() - m_PendingSince < kRebindPatience)
        return kept;
    m_strPendingAddress.clear();
    if (m_bHeadless)
        return EFollowed::Deaf;
    m_Log.AddEntry(FormatText("The server stays at %s: it could not listen at %s",
                              Shown(m_strListenAddress).c_str(), Shown(strAddress).c_str()),
                   ILogSink::EPriority::Warning);
    return kept;
}

// The new socket is bound before the old one goes, so that the server is never deaf. A socket on
// every address holds the port on each, so one of them cannot be bound beside it: the old one
// goes first there, and comes back if the new one cannot be had.
CListener::EListened CListener::ListenAt(const std::string& strAddress)
{
    const std::string strOld = std::exchange(m_strListenAddress, strAddress);
    const bool bBeside = !strOld.empty() && !strAddress.empty();
    const SOCKET hOld = m_Sockets.SocketDetach();
    if (!bBeside)
        Winsock::closesocket(hOld);
    try {
        OpenListeningSocket();
    } catch (const std::string& strError) {
        m_strRebindError = strError;
        OutputDebugStringA(strError.c_str());
        m_strListenAddress = strOld;
        if (bBeside) {
            m_Sockets.SocketAttach(hOld);
            return EListened::Kept;
        }
        OpenListeningSocket();
        return EListened::Reopened;
    }
    if (bBeside)
        Winsock::closesocket(hOld);
    return EListened::There;
}

std::string CListener::Shown(const std::string& strAddress)
{
    return strAddress.empty() ? std::string(kNoAddress) : strAddress;
}

std::string CListener::LocalAddressNow()
{
    m_Sockets.QueryLocalAddresses();
    return m_Sockets.GetLocalAddressCount() > 0 ? m_Sockets.GetLocalAddress(0) : std::string();
}

void CListener::ServeClient(WSAEVENT hEvent, SOCKET& hClient)
{
    if (!AcceptClient(hEvent, hClient))
        return;
    // The window takes the entries so far during the pause, and the rest, with the refresh of
    // a changed list, once the client has its reply, so that its work never competes with it.
    Sleep(kRequestPauseMs);
    AnswerClient(hClient);
    if (m_Handler.TakeSharingChanged())
        m_Reports.SharingChanged();
}

void CListener::AnswerClient(SOCKET& hClient)
{
    const ILogSink::CEntryHold hold(m_Log);
    char cBuffer[ControlProtocol::kRequestBytes];
    std::memset(cBuffer, 0, sizeof cBuffer);
    const int nReceived = m_Sockets.SocketReceive(hClient, cBuffer, sizeof cBuffer, 0);
    if (nReceived == SOCKET_ERROR) {
        // A client that is silent, slow or gone costs its own connection, not the listener.
        OutputDebugStringA("CTarnlowServerDlg::ServerThread(): Error receiving on socket\n");
        m_Log.AddEntry("Communication with client garbled", ILogSink::EPriority::Warning);
    } else if (nReceived > 0 &&
               !m_Handler.ProcessRequest(cBuffer, nReceived, LocalAddressText(hClient),
                                         [this, hClient](const std::string& strReply) {
                                             return m_Sockets.SocketSend(
                                                        hClient, strReply.data(),
                                                        static_cast<int>(strReply.size()),
                                                        0) != SOCKET_ERROR;
                                         })) {
        m_Log.AddEntry("Communication with client garbled", ILogSink::EPriority::Warning);
    }
    CloseClient(hClient);
}

bool CListener::AcceptClient(WSAEVENT hEvent, SOCKET& hClient)
{
    const ILogSink::CEntryHold hold(m_Log);
    WSANETWORKEVENTS networkEvents{};
    if (!m_Sockets.SocketWSAEnumNetworkEvents(hEvent, &networkEvents))
        FailListener(ErrorText("WSAEnumNetworkEvents()"), hEvent);
    if ((networkEvents.lNetworkEvents & FD_ACCEPT) == 0)
        return false;
    sockaddr_in peer{};
    int nPeerLength = sizeof peer;
    hClient = m_Sockets.SocketAccept(m_Sockets, reinterpret_cast<sockaddr*>(&peer), &nPeerLength);
    if (hClient == INVALID_SOCKET) {
        const std::string strError = ErrorText("accept()");
        m_Log.AddEntry("Socket accept request received");
        if (!ClientWentAway(Winsock::WSAGetLastError()))
            FailListener(strError, hEvent);
        OutputDebugStringA(strError.c_str());
        return false;
    }
    // The entries are held until the client is answered, so they still come in their order.
    if (!AdmitClient(hClient, peer))
        return false;
    m_Log.AddEntry("Socket accept request received");
    m_Log.AddEntry(FormatText("Accepted a connection from %s", Winsock::inet_ntoa(peer.sin_addr)));
    return true;
}

bool CListener::AdmitClient(SOCKET& hClient, const sockaddr_in& peer)
{
    const sockaddr_in local = LocalAddressOf(hClient);
    const std::string strUplink =
        local.sin_family == AF_INET
            ? CClientRule::UplinkTowards(local, peer, m_Handler.Connections())
            : std::string();
    if (strUplink.empty())
        return true;
    const std::string strAddress = Winsock::inet_ntoa(peer.sin_addr);
    if (m_ClientRule.IsToBeNamed(strAddress))
        m_Log.AddEntry(FormatText("Refused a client at %s, beyond the dial-up connection %s",
                                  strAddress.c_str(), strUplink.c_str()),
                       ILogSink::EPriority::Warning);
    Winsock::closesocket(hClient);
    hClient = INVALID_SOCKET;
    m_bClientKeptAway = true;
    return false;
}

void CListener::CloseClient(SOCKET& hClient)
{
    // Closing with unread bytes resets the connection, and a reset makes many clients throw
    // away the reply they have not read yet. So the reply is ended with an orderly shutdown and
    // what the client sent beyond the one request is read and dropped, as far as it has come.
    Winsock::shutdown(hClient, SD_SEND);
    char cDiscard[ControlProtocol::kRequestBytes];
    for (int nDrained = 0; nDrained < kMaxDrainedBytes;) {
        const int nReceived = Winsock::recv(hClient, cDiscard, sizeof cDiscard, 0);
        if (nReceived <= 0)
            break;
        nDrained += nReceived;
    }
    Winsock::closesocket(hClient);
    hClient = INVALID_SOCKET;
}

sockaddr_in CListener::LocalAddressOf(SOCKET hClient)
{
    sockaddr_in local{};
    int nLength = sizeof local;
    if (Winsock::getsockname(hClient, reinterpret_cast<sockaddr*>(&local), &nLength) ==
        SOCKET_ERROR)
        local.sin_family = AF_UNSPEC;
    return local;
}

std::string CListener::LocalAddressText(SOCKET hClient)
{
    const sockaddr_in local = LocalAddressOf(hClient);
    return local.sin_family == AF_INET ? Winsock::inet_ntoa(local.sin_addr) : std::string();
}
