// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a request received by the server's window, against the in-memory sharing
// service: the reply, captured on the other end of a socket pair instead of sent, and the log
// must be what the protocol says for the command the bytes hold.
#include "ControlProtocol.h"
#include "FuzzCheck.h"
#include "ServerResources.h"
#include "SharingRegistration.h"
#include "TarnlowServerDlg.h"
#include "UiApplication.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace ControlProtocol;

namespace
{

CUiApplication* g_pApplication = nullptr;
CSharingRegistration* g_pSharing = nullptr;
CTarnlowServerDlg* g_pDlg = nullptr;

std::string ReadAll(int nFd)
{
    std::string strText;
    char cBuffer[4096];
    ssize_t n = 0;
    while ((n = ::read(nFd, cBuffer, sizeof cBuffer)) > 0)
        strText.append(cBuffer, static_cast<std::size_t>(n));
    return strText;
}

std::string ProcessAndCapture(const std::uint8_t* pData, std::size_t nSize, bool& bProcessed)
{
    int nPair[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, nPair) == 0);
    // As the listener receives: at most one buffer's worth, into a zeroed buffer.
    char cBuffer[kRequestBytes] = {};
    const std::size_t nReceived = std::min(nSize, sizeof cBuffer);
    std::memcpy(cBuffer, pData, nReceived);
    bProcessed = g_pDlg->ProcessRequest(nPair[0], cBuffer, static_cast<int>(nReceived));
    ::close(nPair[0]);
    const std::string strReply = ReadAll(nPair[1]);
    ::close(nPair[1]);
    return strReply;
}

// Among the last few entries, byte for byte.
bool WasLogged(const std::string& strEntry)
{
    CListCtrl& log = g_pDlg->m_pLogPage->m_LogList;
    const int nCount = log.GetItemCount();
    for (int i = std::max(0, nCount - 4); i < nCount; ++i) {
        if (log.GetItemText(i, 1) == strEntry)
            return true;
    }
    return false;
}

void CheckList(const std::string& strReply)
{
    std::vector<SConnectionEntry> entries;
    FUZZ_CHECK(ReadConnectionListReply(strReply, entries));
    std::lock_guard lock(g_pDlg->m_pConnectionsPage->NetConnectionMutex());
    CMyNetConnection& connections = g_pDlg->m_pConnectionsPage->m_NetConnection;
    FUZZ_CHECK(entries.size() == static_cast<std::size_t>(connections.ConnectionCount()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int nIndex = static_cast<int>(i);
        FUZZ_CHECK(entries[i].strName == connections.GetName(nIndex));
        FUZZ_CHECK(entries[i].bShared == (connections.IsShared(nIndex) != 0));
    }
}

void CheckSharing(const std::string& strPart, const std::string& strReply, bool bShare)
{
    const std::string& strHost = g_pDlg->m_strHostName;
    FUZZ_CHECK(strReply == BuildReply(strHost, kOkay) || strReply == BuildReply(strHost, kFailed));
    if (strReply != BuildReply(strHost, kOkay))
        return;
    const int nIndex = ReadIndex(strPart);
    std::lock_guard lock(g_pDlg->m_pConnectionsPage->NetConnectionMutex());
    CMyNetConnection& connections = g_pDlg->m_pConnectionsPage->m_NetConnection;
    FUZZ_CHECK(nIndex >= 0 && nIndex < connections.ConnectionCount());
    FUZZ_CHECK((connections.IsShared(nIndex) != 0) == bShare);
}

void CheckReply(const std::string& strRequest, const std::string& strReply)
{
    const std::string& strHost = g_pDlg->m_strHostName;
    const std::string strPart = CommandPart(strRequest);
    switch (RecogniseCommand(strPart)) {
    case ECommand::Greeting:
        FUZZ_CHECK(strReply == BuildReply(strHost, kHello));
        FUZZ_CHECK(WasLogged("Replied with: " + strReply));
        return;
    case ECommand::ConnectionList:
        CheckList(strReply);
        return;
    case ECommand::Share:
    case ECommand::Unshare:
        CheckSharing(strPart, strReply, RecogniseCommand(strPart) == ECommand::Share);
        FUZZ_CHECK(WasLogged("Replied with: " + strReply));
        return;
    case ECommand::Connect:
    case ECommand::Disconnect:
        FUZZ_CHECK(strReply == BuildReply(strHost, kOkay));
        return;
    case ECommand::Farewell:
        FUZZ_CHECK(strReply.empty());
        return;
    case ECommand::Unknown:
        FUZZ_CHECK(strReply == BuildReply(strHost, kUnknown));
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* pArgc, char*** pArgv)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    // They live until the process ends: libFuzzer leaves by exit(), after which Qt's objects
    // cannot be taken down in order.
    g_pApplication = new CUiApplication(*pArgc, *pArgv);
    g_pSharing = new CSharingRegistration;
    CResources::SetCurrent(&ServerResources());
    g_pDlg = new CTarnlowServerDlg;
    FUZZ_CHECK(g_pDlg->Create(CTarnlowServerDlg::IDD));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    bool bProcessed = false;
    const std::string strReply = ProcessAndCapture(pData, nSize, bProcessed);
    FUZZ_CHECK(bProcessed);
    const std::string strRequest =
        TextOfReceived(reinterpret_cast<const char*>(pData),
                       static_cast<int>(std::min<std::size_t>(nSize, kRequestBytes)));
    FUZZ_CHECK(WasLogged("Message Received: " + strRequest) || nSize == 0);
    CheckReply(strRequest, strReply);
    QCoreApplication::processEvents();
    return 0;
}
