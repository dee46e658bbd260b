// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListeningSocket.h"

#include "ControlProtocol.h"
#include "Kernel.h"
#include "ListenerFailure.h"

#include <utility>

namespace
{

constexpr const char* kAnyAddress = "0.0.0.0";

} // namespace

bool CListeningSocket::Open(const std::string& strAddress, std::string& strError)
{
    if (!m_Sockets.SocketCreate()) {
        strError = CListenerFailure::OfCall("socket create").Trace();
        return false;
    }
    m_strAddress = strAddress;
    // The port is this server's alone: a second server fails to listen on it.
    const int nExclusive = 1;
    m_Sockets.SocketSetOption(SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                              reinterpret_cast<const char*>(&nExclusive), sizeof nExclusive);
    m_Sockets.SocketAddressClear();
    m_Sockets.SocketAddressSetFamily(AF_INET);
    m_Sockets.SocketAddressSetPort(static_cast<unsigned short>(m_nPort));
    // With no interface listed, any address of the machine will do.
    m_Sockets.SocketAddressSetAddress(strAddress.empty() ? std::string(kAnyAddress) : strAddress);
    // A port beyond TCP's range fails as a bind would, instead of binding another port.
    const bool bPortInRange = ControlProtocol::IsPortInRange(m_nPort);
    if (!bPortInRange)
        Winsock::WSASetLastError(WSAEINVAL);
    const char* pszFailed = !bPortInRange || !m_Sockets.SocketBind() ? "bind()"
                            : !m_Sockets.SocketSetListen()           ? "listen()"
                                                                     : nullptr;
    if (pszFailed == nullptr)
        return true;
    strError = CListenerFailure::OfCall(pszFailed).Trace();
    m_Sockets.SocketClose();
    return false;
}

// A socket on every address holds the port on each, so one of them cannot be bound beside it:
// the old one goes first there, and comes back if the new one cannot be had.
CListeningSocket::EMoved CListeningSocket::MoveTo(const std::string& strAddress,
                                                  std::string& strError)
{
    const std::string strOld = m_strAddress;
    const bool bBeside = !strOld.empty() && !strAddress.empty();
    const SOCKET hOld = m_Sockets.SocketDetach();
    if (!bBeside)
        Winsock::closesocket(hOld);
    if (Open(strAddress, strError)) {
        if (bBeside)
            Winsock::closesocket(hOld);
        return EMoved::There;
    }
    OutputDebugStringA(strError.c_str());
    m_strAddress = strOld;
    if (bBeside) {
        m_Sockets.SocketAttach(hOld);
        return EMoved::Kept;
    }
    return Open(strOld, strError) ? EMoved::Reopened : EMoved::Lost;
}

void CListeningSocket::Close()
{
    if (!m_Sockets.SocketIsOpen())
        return;
    m_Sockets.SocketShutdown();
    m_Sockets.SocketClose();
}
