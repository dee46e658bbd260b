// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a request received by the server's request handler, alone (no window, no toolkit),
// against the build's in-memory sharing service: the reply, captured by the sender instead of
// sent, and the log must be what the protocol says for the command the bytes hold.
#include "ControlProtocol.h"
#include "FuzzCheck.h"
#include "RequestHandler.h"
#include "SharingRegistration.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>

using namespace ControlProtocol;

namespace
{

// The handler's log: its last few entries.
class CRecentEntries : public ILogSink
{
public:
    void AddEntry(std::string strText, EPriority) override
    {
        m_Entries.push_back(std::move(strText));
        if (m_Entries.size() > 4)
            m_Entries.pop_front();
    }

    bool Holds(const std::string& strEntry) const
    {
        return std::find(m_Entries.begin(), m_Entries.end(), strEntry) != m_Entries.end();
    }

private:
    void HoldEntries() override {}
    void ReleaseEntries() override {}

    std::deque<std::string> m_Entries;
};

CSharingRegistration* g_pSharing = nullptr;
CRecentEntries* g_pLog = nullptr;
CRequestHandler* g_pHandler = nullptr;

std::string ProcessAndCapture(const std::uint8_t* pData, std::size_t nSize, bool& bProcessed)
{
    // As the listener receives: at most one buffer's worth, into a zeroed buffer.
    char cBuffer[kRequestBytes] = {};
    const std::size_t nReceived = std::min(nSize, sizeof cBuffer);
    std::memcpy(cBuffer, pData, nReceived);
    std::string strReply;
    bProcessed = g_pHandler->ProcessRequest(cBuffer, static_cast<int>(nReceived), "127.0.0.1",
                                            [&strReply](const std::string& strSent) {
                                                strReply += strSent;
                                                return true;
                                            });
    return strReply;
}

// Among the last few entries, byte for byte.
bool WasLogged(const std::string& strEntry)
{
    return g_pLog->Holds(strEntry);
}

void CheckList(const std::string& strReply)
{
    std::vector<SConnectionEntry> entries;
    FUZZ_CHECK(ReadConnectionListReply(strReply, entries));
    g_pHandler->Connections().With([&entries](CMyNetConnection& connections) {
        FUZZ_CHECK(entries.size() == static_cast<std::size_t>(connections.ConnectionCount()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const int nIndex = static_cast<int>(i);
            FUZZ_CHECK(entries[i].strName == connections.GetName(nIndex));
            FUZZ_CHECK(entries[i].bShared == (connections.IsShared(nIndex) != 0));
        }
    });
}

void CheckSharing(const std::string& strPart, const std::string& strReply, bool bShare)
{
    const std::string& strHost = g_pHandler->HostName();
    FUZZ_CHECK(strReply == BuildReply(strHost, kOkay) || strReply == BuildReply(strHost, kFailed));
    if (strReply != BuildReply(strHost, kOkay))
        return;
    const int nIndex = ReadIndex(strPart);
    g_pHandler->Connections().With([nIndex, bShare](CMyNetConnection& connections) {
        FUZZ_CHECK(nIndex >= 0 && nIndex < connections.ConnectionCount());
        FUZZ_CHECK((connections.IsShared(nIndex) != 0) == bShare);
    });
}

void CheckReply(const std::string& strRequest, const std::string& strReply)
{
    const std::string& strHost = g_pHandler->HostName();
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

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // They live until the process ends: libFuzzer leaves by exit().
    g_pSharing = new CSharingRegistration;
    g_pLog = new CRecentEntries;
    g_pHandler = new CRequestHandler(*g_pLog);
    g_pHandler->SetHostName("SERVER1");
    g_pHandler->Connections().With(
        [](CMyNetConnection& connections) { return connections.QueryConnections(); });
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
    return 0;
}
