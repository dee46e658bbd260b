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

    // What a list shows of one connection.
    struct SConnectionState {
        std::string strName;
        int nMediaType = -1;
        int nStatus = -1;
        VARIANT_BOOL bShared = VARIANT_FALSE;
    };

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
    // The four answers above at once, from one reading of the connection's properties: what
    // each of them would give, at a fraction of the calls to the service.
    SConnectionState Describe(int nIndex);
    bool SetShared(int nIndex, VARIANT_BOOL& bShared);
    void TraceHResult(HRESULT hr);

private:
    INetConnection* ConnectionAt(int nIndex) const;
    INetConnectionProps* PropertiesOf(INetConnection* pConnection);
    int MediaTypeOf(INetConnection* pConnection);
    static std::string NameOf(INetConnectionProps* pNCP);
    static int MediaTypeOf(INetConnectionProps* pNCP);
    static int StatusOf(INetConnectionProps* pNCP);
    VARIANT_BOOL SharingOf(int nIndex, int nMediaType);
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
