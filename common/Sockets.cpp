// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sockets.h"

#include "Format.h"
#include "InterfaceOrder.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace
{

constexpr WORD kWinsockVersion = MAKEWORD(2, 2);
constexpr int kAddressRecordLength = sizeof(sockaddr_in);
// More interfaces are asked for than are kept, so that the kept ones are the first in order.
constexpr DWORD kQueriedInterfaces = 64;
constexpr DWORD kQueriedBytes = kQueriedInterfaces * sizeof(INTERFACE_INFO);
constexpr int kHostNameLength = 256;
// INTERFACE_INFO's flags, as Winsock numbers them on every platform.
constexpr unsigned long kInterfaceUp = 0x01;
constexpr unsigned long kInterfaceLoopback = 0x04;
constexpr unsigned long kInterfacePointToPoint = 0x08;

bool Succeeded(int nResult)
{
    return nResult != SOCKET_ERROR;
}

} // namespace

CSockets::CSockets()
    : m_bSocketsRunning(false), m_hSocket(INVALID_SOCKET), m_saAddress{}, m_nPort(0),
      m_hShutDown(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_pLocalAddresses{},
      m_nLocalAddressIndex(0), m_nLocalAddressCount(0)
{
    OutputDebugStringA("CSockets::CSockets()\n");
}

CSockets::~CSockets()
{
    OutputDebugStringA("CSockets::~CSockets()\n");
    ClearLocalAddresses();
    if (m_hShutDown != nullptr)
        CloseHandle(m_hShutDown);
}

bool CSockets::StartSockets()
{
    OutputDebugStringA("CSockets::StartSockets()\n");
    WSADATA wsaData;
    if (Winsock::WSAStartup(kWinsockVersion, &wsaData) != 0)
        return false;
    if (LOBYTE(wsaData.wVersion) != 2 || HIBYTE(wsaData.wVersion) != 2) {
        ShutdownSockets();
        return false;
    }
    m_bSocketsRunning = true;
    QueryLocalAddresses();
    return true;
}

void CSockets::ShutdownSockets()
{
    OutputDebugStringA("CSockets::ShutdownSockets()\n");
    Winsock::WSACleanup();
}

bool CSockets::GetSocketsInit()
{
    m_strTrace = FormatText("CSockets::GetSocketsInit(): Sockets running: %s\n",
                            m_bSocketsRunning ? "Yes" : "No");
    OutputDebugStringA(m_strTrace.c_str());
    return m_bSocketsRunning;
}

bool CSockets::SocketCreate()
{
    OutputDebugStringA("CSockets::SocketCreate()\n");
    if (m_hShutDown != nullptr)
        ResetEvent(m_hShutDown);
    m_hSocket = Winsock::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return m_hSocket != INVALID_SOCKET;
}

void CSockets::SocketClose()
{
    OutputDebugStringA("CSockets::SocketClose()\n");
    if (m_hSocket == INVALID_SOCKET)
        return;
    Winsock::closesocket(m_hSocket);
    m_hSocket = INVALID_SOCKET;
}

bool CSockets::SocketSetOption(int nLevel, int nOptionName, const char* pOptionValue,
                               int nOptionLength)
{
    OutputDebugStringA("CSockets::SocketSetOption()\n");
    return Succeeded(
        Winsock::setsockopt(m_hSocket, nLevel, nOptionName, pOptionValue, nOptionLength));
}

bool CSockets::SocketBind()
{
    OutputDebugStringA("CSockets::SocketBind()\n");
    return Succeeded(Winsock::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&m_saAddress),
                                   kAddressRecordLength));
}

int CSockets::SocketGetPort()
{
    OutputDebugStringA("CSockets::SocketGetPort()\n");
    return m_nPort;
}

void CSockets::SocketSetPort(int nPort)
{
    OutputDebugStringA("CSockets::SocketSetPort()\n");
    m_nPort = nPort;
}

void CSockets::SocketAddressClear()
{
    OutputDebugStringA("CSockets::SocketAddressClear()\n");
    m_saAddress = sockaddr_in{};
}

void CSockets::SocketAddressSetFamily(short nFamily)
{
    OutputDebugStringA("CSockets::SocketAddressSetFamily()\n");
    m_saAddress.sin_family = static_cast<decltype(m_saAddress.sin_family)>(nFamily);
}

void CSockets::SocketAddressSetPort(unsigned short nPort)
{
    OutputDebugStringA("CSockets::SocketAddressSetPort()\n");
    m_saAddress.sin_port = Winsock::htons(nPort);
}

void CSockets::SocketAddressSetAddress(std::string strAddress)
{
    OutputDebugStringA("CSockets::SocketAddressSetAddress()\n");
    m_saAddress.sin_addr.s_addr = Winsock::inet_addr(strAddress.c_str());
}

bool CSockets::SocketSetListen()
{
    OutputDebugStringA("CSockets::SocketSetListen()\n");
    return Succeeded(Winsock::listen(m_hSocket, SOMAXCONN));
}

bool CSockets::SocketShutdown()
{
    OutputDebugStringA("CSockets::SocketShutdown()\n");
    if (m_hShutDown != nullptr)
        SetEvent(m_hShutDown);
    return Succeeded(Winsock::shutdown(m_hSocket, SD_BOTH));
}

bool CSockets::SocketWSAEventSelect(WSAEVENT hEvent, long lNetworkEvents)
{
    OutputDebugStringA("CSockets::SocketWSAEventSelect()\n");
    return Succeeded(Winsock::WSAEventSelect(m_hSocket, hEvent, lNetworkEvents));
}

bool CSockets::SocketWSAEnumNetworkEvents(WSAEVENT hEvent, LPWSANETWORKEVENTS pNetworkEvents)
{
    OutputDebugStringA("CSockets::SocketWSAEnumNetworkEvents()\n");
    return Succeeded(Winsock::WSAEnumNetworkEvents(m_hSocket, hEvent, pNetworkEvents));
}

SOCKET CSockets::SocketAccept(CSockets& listening, sockaddr* pAddress, int* pAddressLength)
{
    OutputDebugStringA("CSockets::SocketAccept()\n");
    return Winsock::accept(listening.m_hSocket, pAddress, pAddressLength);
}

bool CSockets::SocketConnect()
{
    const int nError = ConnectUnlessShutDown();
    if (nError == 0)
        return true;
    m_strTrace = FormatText("CSockets::SocketConnect(): connect() returned %d\n", nError);
    OutputDebugStringA(m_strTrace.c_str());
    Winsock::WSASetLastError(nError);
    return false;
}

// A connect that gets no answer waits as long as the system allows (Windows' shutdown does not
// end it): it waits for its answer or for SocketShutdown, whichever comes first.
int CSockets::ConnectUnlessShutDown()
{
    if (m_hShutDown == nullptr)
        return WSAENOBUFS;
    const WSAEVENT hConnected = Winsock::WSACreateEvent();
    if (hConnected == WSA_INVALID_EVENT)
        return WSAENOBUFS;
    int nError = 0;
    if (!Succeeded(Winsock::WSAEventSelect(m_hSocket, hConnected, FD_CONNECT)))
        nError = Winsock::WSAGetLastError();
    else if (!Succeeded(Winsock::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&m_saAddress),
                                         kAddressRecordLength)))
        nError = Winsock::WSAGetLastError();
    if (nError == WSAEWOULDBLOCK)
        nError = AwaitConnect(hConnected);
    // The exchange's sends and receives block, as they did before the connect.
    Winsock::WSAEventSelect(m_hSocket, nullptr, 0);
    unsigned long nBlocking = 0;
    Winsock::ioctlsocket(m_hSocket, FIONBIO, &nBlocking);
    Winsock::WSACloseEvent(hConnected);
    return nError;
}

int CSockets::AwaitConnect(WSAEVENT hConnected)
{
    const HANDLE handles[2] = {hConnected, m_hShutDown};
    if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0)
        return WSAEINTR;
    WSANETWORKEVENTS events{};
    if (!Succeeded(Winsock::WSAEnumNetworkEvents(m_hSocket, hConnected, &events)))
        return Winsock::WSAGetLastError();
    return events.iErrorCode[FD_CONNECT_BIT];
}

int CSockets::SocketSend(const char* pBuffer, int nLength, int nFlags)
{
    return Winsock::send(m_hSocket, pBuffer, nLength, nFlags);
}

int CSockets::SocketSend(SOCKET hSocket, const char* pBuffer, int nLength, int nFlags)
{
    return Winsock::send(hSocket, pBuffer, nLength, nFlags);
}

int CSockets::SocketReceive(char* pBuffer, int nLength, int nFlags)
{
    return Winsock::recv(m_hSocket, pBuffer, nLength, nFlags);
}

int CSockets::SocketReceive(SOCKET hSocket, char* pBuffer, int nLength, int nFlags)
{
    return Winsock::recv(hSocket, pBuffer, nLength, nFlags);
}

std::string CSockets::GetLocalAddress(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nLocalAddressCount || m_pLocalAddresses[nIndex] == nullptr)
        return std::string();
    return *m_pLocalAddresses[nIndex];
}

int CSockets::GetLocalAddressCount() const
{
    return m_nLocalAddressCount;
}

std::string CSockets::GetLocalHostName() const
{
    char cBuffer[kHostNameLength + 1] = {};
    if (Winsock::gethostname(cBuffer, kHostNameLength) == SOCKET_ERROR)
        cBuffer[0] = '\0';
    return std::string(cBuffer);
}

bool CSockets::QueryLocalAddresses()
{
    const SOCKET hQuerySocket = Winsock::socket(AF_INET, SOCK_DGRAM, 0);
    if (hQuerySocket == INVALID_SOCKET)
        return false;
    ClearLocalAddresses();
    auto pBuffer = std::make_unique<INTERFACE_INFO[]>(kQueriedInterfaces);
    DWORD dwBytes = 0;
    // The count comes from the bytes reported even when the call fails: a list that did not fit
    // still delivers the first entries, and a failure that delivers nothing leaves it empty.
    Winsock::WSAIoctl(hQuerySocket, SIO_GET_INTERFACE_LIST, nullptr, 0, pBuffer.get(),
                      kQueriedBytes, &dwBytes, nullptr, nullptr);
    const auto nQueried = std::min<DWORD>(dwBytes, kQueriedBytes) / sizeof(INTERFACE_INFO);
    std::vector<SLocalAddress> addresses;
    for (DWORD i = 0; i < nQueried; ++i) {
        const unsigned long nFlags = pBuffer[i].iiFlags;
        addresses.push_back({Winsock::inet_ntoa(pBuffer[i].iiAddress.AddressIn.sin_addr),
                             (nFlags & kInterfaceUp) != 0, (nFlags & kInterfacePointToPoint) != 0,
                             (nFlags & kInterfaceLoopback) != 0});
    }
    // Entry 0 is taken as the machine's own address: the LAN's, wherever the machine has one,
    // never a dial-up link's that happens to be listed first.
    MarkVirtualAdapters(addresses);
    OrderLocalAddresses(addresses);
    m_nLocalAddressCount =
        static_cast<int>(std::min<std::size_t>(addresses.size(), kMaxLocalAddresses));
    for (m_nLocalAddressIndex = 0; m_nLocalAddressIndex < m_nLocalAddressCount;
         ++m_nLocalAddressIndex)
        m_pLocalAddresses[m_nLocalAddressIndex] =
            std::make_unique<std::string>(addresses[m_nLocalAddressIndex].strAddress);
    Winsock::closesocket(hQuerySocket);
    return true;
}

void CSockets::ClearLocalAddresses()
{
    for (int i = 0; i < m_nLocalAddressCount; ++i)
        m_pLocalAddresses[i].reset();
    m_nLocalAddressCount = 0;
}
