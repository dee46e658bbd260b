// SPDX-License-Identifier: GPL-3.0-or-later
// A connection-sharing service held in memory: the service behind NetSharingManager for the demo
// and the tests. Tests build one with any connections and faults and register its class object
// for CLSID_NetSharingManager. It behaves as the system's service does: one public and one private
// connection at a time, where the private side is needed (as on Windows) the private connections
// listed, changes that all fail as they do without an administrator or under a policy, and port
// mappings that DisableSharing takes away whether or not the connection was shared.
#pragma once

#include "NetSharing.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CMemorySharingService : public std::enable_shared_from_this<CMemorySharingService>
{
public:
    // What an item of the every-connection enumeration is.
    enum class EItemKind {
        Connection,
        DispatchConnection,   // a connection handed out as VT_DISPATCH
        NotAnObject,          // a number instead of an object
        WithoutNetConnection, // an object that does not expose INetConnection
    };

    struct SConnection {
        std::wstring strName;
        NETCON_MEDIATYPE MediaType = NCM_LAN;
        NETCON_STATUS Status = NCS_CONNECTED;
        bool bSharingEnabled = false;
        SHARINGCONNECTIONTYPE SharingType = ICSSHARINGTYPE_PRIVATE;
        bool bPropertiesReadable = true;
        // A failure code here makes EnableSharing or DisableSharing fail with it, changing nothing.
        HRESULT hrEnableSharing = S_OK;
        HRESULT hrDisableSharing = S_OK;
        // Left as COM error information with such a failure, when not empty.
        std::wstring strFailure;
        // The adapter's GUID in braces, as INetConnectionProps::get_Guid gives it; every
        // connection has one, as on the system, made up where none is given.
        std::wstring strGuid;
        int nPortMappings = 0;
    };

    static std::shared_ptr<CMemorySharingService> Create();
    // "Local Area Connection" (Lan, Connected) and "My ISP" (Dialup, Disconnected), not shared.
    static std::shared_ptr<CMemorySharingService> CreateWithDefaultConnections();
    // The one service of this process that CoCreateInstance gives when no other is registered.
    static std::shared_ptr<CMemorySharingService> Machine();

    int AddConnection(const SConnection& connection);
    void AddItem(EItemKind kind);
    void RemoveConnection(int nId);
    SConnection GetConnection(int nId) const;
    void SetStatus(int nId, NETCON_STATUS status);
    // A failure code here makes the manager's creation fail with it.
    void SetCreateResult(HRESULT hr);
    // Whether sharing needs a private side, listed by get_EnumPrivateConnections; without one
    // (as on Linux) that call is not implemented.
    void SetPrivateSideNeeded(bool bNeeded);
    // A failure code here makes every EnableSharing and DisableSharing fail with it and its words.
    void SetRefusal(HRESULT hr, const std::wstring& strWhy);

    // The class factory of this service's manager, for CoRegisterClassObject.
    HRESULT GetClassObject(REFIID riid, void** ppv);
    HRESULT CreateManager(REFIID riid, void** ppv);

    // What the service's COM objects ask of it.
    struct SItem {
        EItemKind Kind;
        int nId;
    };
    std::vector<SItem> GetItems() const;
    bool PrivateSideNeeded() const;
    // The connections shared as private.
    std::vector<SItem> GetPrivateItems() const;
    bool ReadConnection(int nId, SConnection& connection) const;
    // Hands the connection to the reader under the service's lock, without copying it.
    bool ReadConnection(int nId, const std::function<void(const SConnection&)>& read) const;
    HRESULT EnableSharing(int nId, SHARINGCONNECTIONTYPE type);
    HRESULT DisableSharing(int nId);

private:
    CMemorySharingService() = default;

    mutable std::mutex m_Mutex;
    std::vector<SItem> m_Items;
    std::map<int, SConnection> m_Connections;
    int m_nNextId = 0;
    HRESULT m_hrCreate = S_OK;
    bool m_bPrivateSideNeeded = false;
    HRESULT m_hrRefusal = S_OK;
    std::wstring m_strRefusal;
};
