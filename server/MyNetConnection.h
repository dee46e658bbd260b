// CMyNetConnection: the server's link to the connection-sharing service. It enumerates the
// machine's connections into arrays addressed by connection index, answers per-index questions,
// and switches sharing of dial-up connections on and off.
#pragma once

#include "NetSharing.h"

#include <string>

class CMyNetConnection
{
public:
    static constexpr int kMaxConnections = 256;

    CMyNetConnection();
    ~CMyNetConnection();
    CMyNetConnection(const CMyNetConnection&) = delete;
    CMyNetConnection& operator=(const CMyNetConnection&) = delete;

    bool QueryConnections();
    // Every per-index operation treats an index outside 0 to m_nConnections - 1 like a
    // connection whose properties cannot be read.
    std::string GetName(int nIndex);
    int GetMediaType(int nIndex);
    int GetStatus(int nIndex);
    VARIANT_BOOL IsShared(int nIndex);
    bool SetShared(int nIndex, VARIANT_BOOL& bShared);
    void TraceHResult(HRESULT hr);

private:
    INetConnection* ConnectionAt(int nIndex) const;
    INetConnectionProps* PropertiesOf(INetConnection* pConnection);
    int MediaTypeOf(INetConnection* pConnection);
    INetSharingConfiguration* FetchConfiguration(int nIndex);
    void AddConnection(INetConnection* pConnection);
    void ReleaseConnections();

    INetSharingManager* m_pSharingManager;
    INetSharingEveryConnectionCollection* m_pEveryConnectionCollection;
    INetConnection* m_pConnections[kMaxConnections];
    INetSharingConfiguration* m_pSharingConfigurations[kMaxConnections];

public:
    int m_nConnections;
    int m_nDialupConnections;

private:
    std::string m_strTrace;
};
