// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemorySharingService.h"

#include <cwchar>

#include "SharingServiceObjects.h"

namespace
{

using ServicePtr = std::shared_ptr<CMemorySharingService>;

// A connection's own objects: each reads the service's state when asked, never a copy of it.
template <typename TInterface>
class CConnectionObject : public CServiceObject<TInterface, CMemorySharingService, int>
{
public:
    int Id() const { return this->Key(); }

protected:
    CConnectionObject(REFIID iid, ServicePtr pService, int nId)
        : CServiceObject<TInterface, CMemorySharingService, int>(iid, std::move(pService), nId)
    {
    }

    template <typename TValue, typename TField>
    HRESULT Read(TValue* pValue, TField field) const
    {
        if (pValue == nullptr)
            return E_FAIL;
        const auto read = [&](const CMemorySharingService::SConnection& connection) {
            *pValue = field(connection);
        };
        return this->m_pService->ReadConnection(Id(), read) ? S_OK : E_FAIL;
    }
};

using SConnection = CMemorySharingService::SConnection;

class CMemoryConnection : public CConnectionObject<INetConnection>
{
public:
    CMemoryConnection(ServicePtr pService, int nId)
        : CConnectionObject(IID_INetConnection, std::move(pService), nId)
    {
    }
};

class CMemoryConnectionProps : public CConnectionObject<INetConnectionProps>
{
public:
    CMemoryConnectionProps(ServicePtr pService, int nId)
        : CConnectionObject(IID_INetConnectionProps, std::move(pService), nId)
    {
    }

    HRESULT get_Guid(BSTR* pbstrGuid) override
    {
        return Read(pbstrGuid,
                    [](const SConnection& c) { return SysAllocString(c.strGuid.c_str()); });
    }

    HRESULT get_Name(BSTR* pbstrName) override
    {
        return Read(pbstrName,
                    [](const SConnection& c) { return SysAllocString(c.strName.c_str()); });
    }

    HRESULT get_Status(NETCON_STATUS* pStatus) override
    {
        return Read(pStatus, [](const SConnection& c) { return c.Status; });
    }

    HRESULT get_MediaType(NETCON_MEDIATYPE* pMediaType) override
    {
        return Read(pMediaType, [](const SConnection& c) { return c.MediaType; });
    }
};

class CMemorySharingConfiguration : public CConnectionObject<INetSharingConfiguration>
{
public:
    CMemorySharingConfiguration(ServicePtr pService, int nId)
        : CConnectionObject(IID_INetSharingConfiguration, std::move(pService), nId)
    {
    }

    HRESULT get_SharingEnabled(VARIANT_BOOL* pbEnabled) override
    {
        return Read(pbEnabled, [](const SConnection& c) {
            return c.bSharingEnabled ? VARIANT_TRUE : VARIANT_FALSE;
        });
    }

    HRESULT get_SharingConnectionType(SHARINGCONNECTIONTYPE* pType) override
    {
        return Read(pType, [](const SConnection& c) { return c.SharingType; });
    }

    HRESULT DisableSharing() override { return m_pService->DisableSharing(Id()); }

    HRESULT EnableSharing(SHARINGCONNECTIONTYPE Type) override
    {
        return m_pService->EnableSharing(Id(), Type);
    }
};

class CMemoryEnumVariant : public CSnapshotEnumVariant<CMemoryEnumVariant, CMemorySharingService,
                                                       CMemorySharingService::SItem>
{
public:
    CMemoryEnumVariant(ServicePtr pService, std::vector<CMemorySharingService::SItem> items,
                       std::size_t nNext = 0)
        : CSnapshotEnumVariant(std::move(pService), std::move(items), nNext)
    {
    }

private:
    void MakeItem(const CMemorySharingService::SItem& item, VARIANT& var) const override
    {
        VariantInit(&var);
        switch (item.Kind) {
        case CMemorySharingService::EItemKind::Connection:
        case CMemorySharingService::EItemKind::DispatchConnection:
            var.vt = item.Kind == CMemorySharingService::EItemKind::Connection ? VT_UNKNOWN
                                                                               : VT_DISPATCH;
            var.punkVal = new CMemoryConnection(m_pService, item.nId);
            break;
        case CMemorySharingService::EItemKind::NotAnObject:
            var.vt = VT_I4;
            var.lVal = item.nId;
            break;
        case CMemorySharingService::EItemKind::WithoutNetConnection:
            var.vt = VT_UNKNOWN;
            var.punkVal = new CComObject<IUnknown>(IID_IUnknown);
            break;
        }
    }
};

using CMemoryConnectionCollection = CSnapshotCollection<CMemorySharingService, CMemoryEnumVariant,
                                                        &CMemorySharingService::GetItems>;

using CMemoryPrivateCollection = CSnapshotCollection<
    CMemorySharingService, CMemoryEnumVariant, &CMemorySharingService::GetPrivateItems,
    INetSharingPrivateConnectionCollection, IID_INetSharingPrivateConnectionCollection>;

class CMemorySharingManager
    : public CSharingManagerBase<CMemorySharingService, CMemoryConnectionCollection>
{
public:
    using CSharingManagerBase::CSharingManagerBase;

    HRESULT get_NetConnectionProps(INetConnection* pNetConnection,
                                   INetConnectionProps** ppProps) override
    {
        if (ppProps == nullptr)
            return E_POINTER;
        *ppProps = nullptr;
        const CMemoryConnection* pConnection =
            OwnConnection<CMemoryConnection>(pNetConnection, m_pService.get());
        if (pConnection == nullptr)
            return E_INVALIDARG;
        bool bReadable = false;
        const auto read = [&](const CMemorySharingService::SConnection& connection) {
            bReadable = connection.bPropertiesReadable;
        };
        if (!m_pService->ReadConnection(pConnection->Id(), read) || !bReadable)
            return E_FAIL;
        *ppProps = new CMemoryConnectionProps(m_pService, pConnection->Id());
        return S_OK;
    }

    HRESULT get_EnumPrivateConnections(SHARINGCONNECTION_ENUM_FLAGS,
                                       INetSharingPrivateConnectionCollection** ppColl) override
    {
        if (ppColl == nullptr)
            return E_POINTER;
        *ppColl = nullptr;
        if (!m_pService->PrivateSideNeeded())
            return E_NOTIMPL;
        *ppColl = new CMemoryPrivateCollection(m_pService);
        return S_OK;
    }

    HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection* pNetConnection, INetSharingConfiguration** ppConfiguration) override
    {
        if (ppConfiguration == nullptr)
            return E_POINTER;
        *ppConfiguration = nullptr;
        const CMemoryConnection* pConnection =
            OwnConnection<CMemoryConnection>(pNetConnection, m_pService.get());
        if (pConnection == nullptr)
            return E_INVALIDARG;
        *ppConfiguration = new CMemorySharingConfiguration(m_pService, pConnection->Id());
        return S_OK;
    }
};

HRESULT Fail(HRESULT hr, const std::wstring& strFailure)
{
    return strFailure.empty() ? hr : ReportFailure(hr, strFailure);
}

} // namespace

std::shared_ptr<CMemorySharingService> CMemorySharingService::Create()
{
    return std::shared_ptr<CMemorySharingService>(new CMemorySharingService);
}

std::shared_ptr<CMemorySharingService> CMemorySharingService::CreateWithDefaultConnections()
{
    auto pService = Create();
    SConnection lan;
    lan.strName = L"Local Area Connection";
    lan.MediaType = NCM_LAN;
    lan.Status = NCS_CONNECTED;
    lan.SharingType = ICSSHARINGTYPE_PRIVATE;
    pService->AddConnection(lan);
    SConnection dialup;
    dialup.strName = L"My ISP";
    dialup.MediaType = NCM_PHONE;
    dialup.Status = NCS_DISCONNECTED;
    dialup.SharingType = ICSSHARINGTYPE_PUBLIC;
    pService->AddConnection(dialup);
    return pService;
}

std::shared_ptr<CMemorySharingService> CMemorySharingService::Machine()
{
    static const auto* pMachine = new std::shared_ptr(CreateWithDefaultConnections());
    return *pMachine;
}

int CMemorySharingService::AddConnection(const SConnection& connection)
{
    std::lock_guard lock(m_Mutex);
    const int nId = m_nNextId++;
    m_Connections[nId] = connection;
    if (connection.strGuid.empty()) {
        wchar_t cGuid[40] = {};
        std::swprintf(cGuid, 40, L"{7A4E5C10-0000-4000-8000-%012X}", static_cast<unsigned>(nId));
        m_Connections[nId].strGuid = cGuid;
    }
    m_Items.push_back({EItemKind::Connection, nId});
    return nId;
}

void CMemorySharingService::AddItem(EItemKind kind)
{
    if (kind == EItemKind::Connection) {
        AddConnection(SConnection{});
        return;
    }
    std::lock_guard lock(m_Mutex);
    m_Items.push_back({kind, m_nNextId++});
}

void CMemorySharingService::SetStatus(int nId, NETCON_STATUS status)
{
    std::lock_guard lock(m_Mutex);
    const auto it = m_Connections.find(nId);
    if (it != m_Connections.end())
        it->second.Status = status;
}

void CMemorySharingService::RemoveConnection(int nId)
{
    std::lock_guard lock(m_Mutex);
    m_Connections.erase(nId);
    std::erase_if(m_Items, [nId](const SItem& item) { return item.nId == nId; });
}

CMemorySharingService::SConnection CMemorySharingService::GetConnection(int nId) const
{
    SConnection connection;
    ReadConnection(nId, connection);
    return connection;
}

void CMemorySharingService::SetCreateResult(HRESULT hr)
{
    std::lock_guard lock(m_Mutex);
    m_hrCreate = hr;
}

void CMemorySharingService::SetPrivateSideNeeded(bool bNeeded)
{
    std::lock_guard lock(m_Mutex);
    m_bPrivateSideNeeded = bNeeded;
}

void CMemorySharingService::SetRefusal(HRESULT hr, const std::wstring& strWhy)
{
    std::lock_guard lock(m_Mutex);
    m_hrRefusal = hr;
    m_strRefusal = strWhy;
}

HRESULT CMemorySharingService::GetClassObject(REFIID riid, void** ppv)
{
    return QueryNewObject(new CSharingClassFactory(shared_from_this()), riid, ppv);
}

HRESULT CMemorySharingService::CreateManager(REFIID riid, void** ppv)
{
    {
        std::lock_guard lock(m_Mutex);
        if (FAILED(m_hrCreate))
            return m_hrCreate;
    }
    return QueryNewObject(new CMemorySharingManager(shared_from_this()), riid, ppv);
}

std::vector<CMemorySharingService::SItem> CMemorySharingService::GetItems() const
{
    std::lock_guard lock(m_Mutex);
    return m_Items;
}

bool CMemorySharingService::PrivateSideNeeded() const
{
    std::lock_guard lock(m_Mutex);
    return m_bPrivateSideNeeded;
}

std::vector<CMemorySharingService::SItem> CMemorySharingService::GetPrivateItems() const
{
    std::lock_guard lock(m_Mutex);
    std::vector<SItem> items;
    for (const SItem& item : m_Items) {
        const auto it = m_Connections.find(item.nId);
        if (it != m_Connections.end() && it->second.bSharingEnabled &&
            it->second.SharingType == ICSSHARINGTYPE_PRIVATE)
            items.push_back(item);
    }
    return items;
}

bool CMemorySharingService::ReadConnection(int nId, SConnection& connection) const
{
    return ReadConnection(nId, [&](const SConnection& found) { connection = found; });
}

bool CMemorySharingService::ReadConnection(
    int nId, const std::function<void(const SConnection&)>& read) const
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Connections.find(nId);
    if (it == m_Connections.end())
        return false;
    read(it->second);
    return true;
}

HRESULT CMemorySharingService::EnableSharing(int nId, SHARINGCONNECTIONTYPE type)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Connections.find(nId);
    if (it == m_Connections.end())
        return E_FAIL;
    if (FAILED(m_hrRefusal))
        return Fail(m_hrRefusal, m_strRefusal);
    if (FAILED(it->second.hrEnableSharing))
        return Fail(it->second.hrEnableSharing, it->second.strFailure);
    // As on the original platform, one connection at a time is shared as each type.
    for (auto& [nOtherId, other] : m_Connections) {
        if (nOtherId != nId && other.bSharingEnabled && other.SharingType == type)
            other.bSharingEnabled = false;
    }
    it->second.bSharingEnabled = true;
    it->second.SharingType = type;
    return S_OK;
}

HRESULT CMemorySharingService::DisableSharing(int nId)
{
    std::lock_guard lock(m_Mutex);
    auto it = m_Connections.find(nId);
    if (it == m_Connections.end())
        return E_FAIL;
    if (FAILED(m_hrRefusal))
        return Fail(m_hrRefusal, m_strRefusal);
    if (FAILED(it->second.hrDisableSharing))
        return Fail(it->second.hrDisableSharing, it->second.strFailure);
    // As documented for the system's service: the mappings go even when nothing was shared.
    it->second.bSharingEnabled = false;
    it->second.nPortMappings = 0;
    return S_OK;
}
