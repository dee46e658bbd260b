// SPDX-License-Identifier: GPL-3.0-or-later
// CMyNetConnection: the server's link to the connection-sharing service. It enumerates the
// machine's connections, addressed by connection index (at most 256), answers per-index
// questions, and switches sharing of dial-up connections on and off.
#pragma once

#include "ComPtr.h"
#include "NetSharing.h"
#include "SharingAdvice.h"

#include <functional>
#include <string>
#include <vector>

class CMyNetConnection
{
public:
    static constexpr int kMaxConnections = 256;

    CMyNetConnection() = default;
    CMyNetConnection(const CMyNetConnection&) = delete;
    CMyNetConnection& operator=(const CMyNetConnection&) = delete;

    bool QueryConnections();
    // What the last query found.
    int ConnectionCount() const { return static_cast<int>(m_Connections.size()); }
    int DialupConnectionCount() const { return m_nDialupConnections; }
    // Every per-index operation treats an index outside 0 to ConnectionCount() - 1 like a
    // connection whose properties cannot be read. Each asks the service afresh.
    std::string GetName(int nIndex);
    std::string GetGuid(int nIndex);
    // The index of the last query's connection whose adapter has this GUID; -1 where none has.
    int IndexOf(const std::string& strGuid);
    int GetMediaType(int nIndex);
    int GetStatus(int nIndex);
    VARIANT_BOOL IsShared(int nIndex);
    // What a share or unshare came to.
    struct SOutcome {
        // False when the connection was refused, or when the service refused the change.
        bool bDone = false;
        // Whether the connection is shared now, as the service reports it.
        VARIANT_BOOL bShared = VARIANT_FALSE;
        // Why the service refused the change, where it did.
        std::string strRefusal;
        // A sentence each, in their order: what else the change did (a private side readdressed
        // and enabled or disabled, another connection's sharing ended by this one).
        std::vector<std::string> sideChanges;
    };
    // Where the service needs a private side and lists none, a share also enables as private the
    // LAN connection whose adapter has the client's address (the local address of its request),
    // else the only connected LAN connection; without one the share is refused. An unshare
    // disables the private side that a share enabled, and only that. The connection is always
    // enabled as the public side.
    SOutcome SetShared(int nIndex, VARIANT_BOOL bShared,
                       const std::string& strClientAddress = std::string());
    // What the service has to say beyond its results, where it offers its advice: the port at
    // which the LAN's clients reach the server, for its check of their way; an event that it sets
    // when it says something of its own accord; and what it said since the last call, oldest
    // first.
    struct SAdvice {
        std::string strText;
        bool bWarning;
    };
    void SetClientPort(int nPort);
    void SetAdviceEvent(HANDLE hEvent);
    std::vector<SAdvice> TakeAdvice();
    // Between these, the service answers this thread from one reading of the system, where it
    // offers one.
    void BeginReading();
    void EndReading();
    // One connection as the service tells it now, known by its adapter's GUID.
    struct SState {
        std::string strGuid;
        std::string strName;
        int nMediaType = -1;
        int nStatus = -1;
        bool bShared = false;
    };
    // Every connection of a new enumeration, asked of the service afresh; the last query's stay
    // as they were.
    std::vector<SState> ConnectionStates();
    // The name of the dial-up connection whose adapter has this GUID, asked of the service afresh
    // (the adapters may have changed since the last query); empty when no dial-up connection has.
    std::string DialupConnectionOf(const std::string& strAdapterGuid);
    void TraceHResult(HRESULT hr);
    // Lets go of every object of the sharing service, the manager too, while COM is still
    // there: the last CoUninitialize may unload the service. Later queries find no connection.
    void ReleaseService();

private:
    CComPtr<INetConnectionProps> PropertiesOf(INetConnection* pConnection);
    CComPtr<INetConnectionProps> PropertiesAt(int nIndex);
    // A text that the reader asks of the properties of the connection at the index; empty where
    // they cannot be read.
    std::string TextAt(int nIndex, HRESULT (*pRead)(INetConnectionProps* pNCP, BSTR* pbstrText));
    static int MediaTypeOf(const CComPtr<INetConnectionProps>& pNCP);
    CComPtr<INetSharingConfiguration> ConfigurationAt(int nIndex);
    CComPtr<INetSharingConfiguration> ConfigurationOf(INetConnection* pConnection);
    HRESULT EnableSharing(int nIndex, INetSharingConfiguration* pConfiguration,
                          const std::string& strClientAddress, SOutcome& outcome);
    HRESULT DisableSharing(INetSharingConfiguration* pConfiguration, SOutcome& outcome);
    std::vector<int> PublicConnectionsBut(int nIndex);
    void SayWhatIsNoLongerShared(const std::vector<int>& wasPublic, SOutcome& outcome);
    bool NeedsPrivateSide();
    int ChoosePrivateSide(int nPublic, const std::string& strClientAddress);
    HRESULT EnablePrivateSide(int nPrivate, SOutcome& outcome);
    void DisablePrivateSide(SOutcome& outcome);
    // Calls the visitor for each connection of a new enumeration until it returns false; false,
    // traced for the operation, when there is no enumeration.
    bool EnumerateConnections(const char* pszOperation,
                              CComPtr<INetSharingEveryConnectionCollection>& pCollection,
                              const std::function<bool(CComPtr<INetConnection>)>& visit);
    void AddConnection(CComPtr<INetConnection> pConnection);
    bool TraceFailure(const char* pszOperation, const char* pszCall, HRESULT hr);
    void ReleaseConnections();
    static std::string RefusalReason(HRESULT hr);
    CComPtr<ITarnlowSharingAdvice> Advice() const;

    CComPtr<INetSharingManager> m_pSharingManager;
    CComPtr<INetSharingEveryConnectionCollection> m_pEveryConnectionCollection;
    // The last query's connections, by connection index.
    std::vector<CComPtr<INetConnection>> m_Connections;
    int m_nDialupConnections = 0;
    // The private side that this server enabled, and its name, until an unshare disables it.
    CComPtr<INetConnection> m_pPrivateSide;
    std::string m_strPrivateSideName;
    bool m_bServiceReleased = false;
};
