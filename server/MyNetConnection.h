// SPDX-License-Identifier: GPL-3.0-or-later
// CMyNetConnection: the server's link to the connection-sharing service. It enumerates the
// machine's connections into arrays addressed by connection index, answers per-index questions,
// and switches sharing of dial-up connections on and off.
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

    CMyNetConnection();
    CMyNetConnection(const CMyNetConnection&) = delete;
    CMyNetConnection& operator=(const CMyNetConnection&) = delete;

    bool QueryConnections();
    // Every per-index operation treats an index outside 0 to m_nConnections - 1 like a
    // connection whose properties cannot be read. Each asks the service afresh.
    std::string GetName(int nIndex);
    int GetMediaType(int nIndex);
    int GetStatus(int nIndex);
    VARIANT_BOOL IsShared(int nIndex);
    // False when the connection was refused, or when the service refused the change; then
    // Refusal() says why. Where the service needs a private side and lists none, a share also
    // enables as private the LAN connection whose adapter has the client's address (the local
    // address of its request), else the only connected LAN connection; without one the share is
    // refused. An unshare disables the private side that a share enabled, and only that. The
    // connection is always enabled as the public side. SideChanges() says, a sentence each and in
    // their order, what else the change did: a private side readdressed and enabled or disabled,
    // another connection's sharing ended by this one.
    bool SetShared(int nIndex, VARIANT_BOOL& bShared,
                   const std::string& strClientAddress = std::string());
    const std::string& Refusal() const { return m_strRefusal; }
    const std::vector<std::string>& SideChanges() const { return m_SideChanges; }
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
    static int MediaTypeOf(const CComPtr<INetConnectionProps>& pNCP);
    INetSharingConfiguration* FetchConfiguration(int nIndex);
    CComPtr<INetSharingConfiguration> ConfigurationOf(INetConnection* pConnection);
    HRESULT EnableSharing(int nIndex, INetSharingConfiguration* pConfiguration,
                          const std::string& strClientAddress);
    HRESULT DisableSharing(INetSharingConfiguration* pConfiguration);
    std::vector<int> PublicConnectionsBut(int nIndex);
    void SayWhatIsNoLongerShared(const std::vector<int>& wasPublic);
    bool NeedsPrivateSide();
    int ChoosePrivateSide(int nPublic, const std::string& strClientAddress);
    HRESULT EnablePrivateSide(int nPrivate);
    void DisablePrivateSide();
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
    CComPtr<INetConnection> m_pConnections[kMaxConnections];
    CComPtr<INetSharingConfiguration> m_pSharingConfigurations[kMaxConnections];

public:
    int m_nConnections;
    int m_nDialupConnections;

private:
    std::string m_strTrace;
    std::string m_strRefusal;
    std::vector<std::string> m_SideChanges;
    // The private side that this server enabled, and its name, until an unshare disables it.
    CComPtr<INetConnection> m_pPrivateSide;
    std::string m_strPrivateSideName;
    bool m_bServiceReleased = false;
};
