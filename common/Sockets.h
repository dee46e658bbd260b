// SPDX-License-Identifier: GPL-3.0-or-later
// CSockets: the one networking class of both programs. It starts and stops Winsock for the
// process, wraps one TCP socket with one IPv4 address record, and keeps the machine's own IPv4
// addresses. Every operation is one synchronous Winsock call and writes a trace line; a connect
// waits for its answer in a way that SocketShutdown, from another thread, ends at once.
#pragma once

#include "WinSock.h"

#include <memory>
#include <string>
#include <utility>

class CSockets
{
public:
    static constexpr int kMaxLocalAddresses = 10;

    CSockets();
    // Frees the address list and the connect's wake-up only: the socket and Winsock are the
    // caller's to close and stop.
    ~CSockets();
    CSockets(const CSockets&) = delete;
    CSockets& operator=(const CSockets&) = delete;

    bool StartSockets();
    void ShutdownSockets();
    bool GetSocketsInit();

    bool SocketCreate();
    void SocketClose();
    bool SocketSetOption(int nLevel, int nOptionName, const char* pOptionValue, int nOptionLength);
    bool SocketBind();
    int SocketGetPort();
    void SocketSetPort(int nPort);
    void SocketAddressClear();
    void SocketAddressSetFamily(short nFamily);
    void SocketAddressSetPort(unsigned short nPort);
    void SocketAddressSetAddress(std::string strAddress);
    bool SocketSetListen();
    // Also ends a connect that is waiting for its answer.
    bool SocketShutdown();
    // Whether the object holds a socket; no trace, no Winsock call.
    bool SocketIsOpen() const { return m_hSocket != INVALID_SOCKET; }
    // Hands the socket over and holds none, or takes one over; no trace, no Winsock call.
    SOCKET SocketDetach() { return std::exchange(m_hSocket, INVALID_SOCKET); }
    void SocketAttach(SOCKET hSocket) { m_hSocket = hSocket; }
    bool SocketWSAEventSelect(WSAEVENT hEvent, long lNetworkEvents);
    bool SocketWSAEnumNetworkEvents(WSAEVENT hEvent, LPWSANETWORKEVENTS pNetworkEvents);
    SOCKET SocketAccept(CSockets& listening, sockaddr* pAddress, int* pAddressLength);
    bool SocketConnect();
    int SocketSend(const char* pBuffer, int nLength, int nFlags);
    int SocketSend(SOCKET hSocket, const char* pBuffer, int nLength, int nFlags);
    int SocketReceive(char* pBuffer, int nLength, int nFlags);
    int SocketReceive(SOCKET hSocket, char* pBuffer, int nLength, int nFlags);

    // Empty text for an index outside the list.
    std::string GetLocalAddress(int nIndex) const;
    int GetLocalAddressCount() const;
    std::string GetLocalHostName() const;
    // Reads the interface list again (StartSockets reads it first).
    bool QueryLocalAddresses();

private:
    void ClearLocalAddresses();
    // A connect's Winsock error, 0 when it connected; the socket is blocking again afterwards.
    int ConnectUnlessShutDown();
    int AwaitConnect(WSAEVENT hConnected);

    bool m_bSocketsRunning;
    SOCKET m_hSocket;
    sockaddr_in m_saAddress;
    int m_nPort;
    std::string m_strTrace;
    // Set by SocketShutdown, cleared when a socket is made.
    HANDLE m_hShutDown;
    std::unique_ptr<std::string> m_pLocalAddresses[kMaxLocalAddresses];
    int m_nLocalAddressIndex;
    int m_nLocalAddressCount;
};
