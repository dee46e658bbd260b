#include "MemorySharingService.h"

#include "ComObject.h"

namespace
{

using ServicePtr = std::shared_ptr<CMemorySharingService>;

// A connection's own objects: each reads the service's state when asked, never a copy of it.
template <typename TInterface>
class CConnectionObject : public CComObject<TInterface>
{
public:
    const ServicePtr& Service() const { return m_pService; }
    int Id() const { return m_nId; }

protected:
    CConnectionObject(REFIID iid, ServicePtr pService, int nId)
        : CComObject<TInterface>(iid), m_pService(std::move(pService)), m_nId(nId)
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
        return m_pService->ReadConnection(m_nId, read) ? S_OK : E_FAIL;
    }

    ServicePtr m_pService;
    int m_nId;
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

    HRESULT DisableSharing() override { return m_pService->DisableSharing(m_nId); }

    HRESULT EnableSharing(SHARINGCONNECTIONTYPE Type) override
    {
        return m_pService->EnableSharing(m_nId, Type);
    }
};

class CMemoryEnumVariant : public CComObject<IEnumVARIANT>
{
public:
    CMemoryEnumVariant(ServicePtr pService, std::vector<CMemorySharingService::SItem> items,
                       std::size_t nNext = 0)
        : CComObject(IID_IEnumVARIANT), m_pService(std::move(pService)), m_Items(std::move(items)),
          m_nNext(nNext)
    {
    }

    HRESULT Next(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override
    {
        if (rgVar == nullptr)
            return E_POINTER;
        ULONG nFetched = 0;
        for (; nFetched < celt && m_nNext < m_Items.size(); ++nFetched)
            MakeItem(m_Items[m_nNext++], rgVar[nFetched]);
        if (pCeltFetched != nullptr)
            *pCeltFetched = nFetched;
        return nFetched == celt ? S_OK : S_FALSE;
    }

    HRESULT Skip(ULONG celt) override
    {
        const std::size_t nLeft = m_Items.size() - m_nNext;
        m_nNext += std::min<std::size_t>(celt, nLeft);
        return celt <= nLeft ? S_OK : S_FALSE;
    }

    HRESULT Reset() override
    {
        m_nNext = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumVARIANT** ppEnum) override
    {
        if (ppEnum == nullptr)
            return E_POINTER;
        *ppEnum = new CMemoryEnumVariant(m_pService, m_Items, m_nNext);
        return S_OK;
    }

private:
    void MakeItem(const CMemorySharingService::SItem& item, VARIANT& var) const
    {
        VariantInit(&var);
        switch (item.Kind) {
        case CMemorySharingService::EItemKind::Connection:
            var.vt = VT_UNKNOWN;
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

    ServicePtr m_pService;
    std::vector<CMemorySharingService::SItem> m_Items;
    std::size_t m_nNext;
};

class CMemoryConnectionCollection : public CComObject<INetSharingEveryConnectionCollection>
{
public:
    explicit CMemoryConnectionCollection(ServicePtr pService)
        : CComObject(IID_INetSharingEveryConnectionCollection), m_pService(std::move(pService))
    {
    }

    HRESULT get__NewEnum(IUnknown** pVal) override
    {
        if (pVal == nullptr)
            return E_POINTER;
        *pVal = new CMemoryEnumVariant(m_pService, m_pService->GetItems());
        return S_OK;
    }

    HRESULT get_Count(long* pVal) override
    {
        if (pVal == nullptr)
            return E_POINTER;
        *pVal = static_cast<long>(m_pService->GetItems().size());
        return S_OK;
    }

private:
    ServicePtr m_pService;
};

// The connection must be one of this service's own.
const CMemoryConnection* OwnConnection(INetConnection* pNetConnection,
                                       const CMemorySharingService* pService)
{
    const auto* pConnection = dynamic_cast<const CMemoryConnection*>(pNetConnection);
    return pConnection != nullptr && pConnection->Service().get() == pService ? pConnection
                                                                              : nullptr;
}

class CMemorySharingManager : public CComObject<INetSharingManager>
{
public:
    explicit CMemorySharingManager(ServicePtr pService)
        : CComObject(IID_INetSharingManager), m_pService(std::move(pService))
    {
    }

    HRESULT get_EnumEveryConnection(INetSharingEveryConnectionCollection** ppColl) override
    {
        if (ppColl == nullptr)
            return E_POINTER;
        *ppColl = new CMemoryConnectionCollection(m_pService);
        return S_OK;
    }

    HRESULT get_NetConnectionProps(INetConnection* pNetConnection,
                                   INetConnectionProps** ppProps) override
    {
        if (ppProps == nullptr)
            return E_POINTER;
        *ppProps = nullptr;
        const CMemoryConnection* pConnection = OwnConnection(pNetConnection, m_pService.get());
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

    HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection* pNetConnection, INetSharingConfiguration** ppConfiguration) override
    {
        if (ppConfiguration == nullptr)
            return E_POINTER;
        *ppConfiguration = nullptr;
        const CMemoryConnection* pConnection = OwnConnection(pNetConnection, m_pService.get());
        if (pConnection == nullptr)
            return E_INVALIDARG;
        *ppConfiguration = new CMemorySharingConfiguration(m_pService, pConnection->Id());
        return S_OK;
    }

private:
    ServicePtr m_pService;
};

class CMemoryClassFactory : public CComObject<IClassFactory>
{
public:
    explicit CMemoryClassFactory(ServicePtr pService)
        : CComObject(IID_IClassFactory), m_pService(std::move(pService))
    {
    }

    HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override
    {
        if (ppvObject == nullptr)
            return E_POINTER;
        *ppvObject = nullptr;
        if (pUnkOuter != nullptr)
            return CLASS_E_NOAGGREGATION;
        return m_pService->CreateManager(riid, ppvObject);
    }

    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    ServicePtr m_pService;
};

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

HRESULT CMemorySharingService::GetClassObject(REFIID riid, void** ppv)
{
    auto* pFactory = new CMemoryClassFactory(shared_from_this());
    const HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    return hr;
}

HRESULT CMemorySharingService::CreateManager(REFIID riid, void** ppv)
{
    {
        std::lock_guard lock(m_Mutex);
        if (FAILED(m_hrCreate))
            return m_hrCreate;
    }
    auto* pManager = new CMemorySharingManager(shared_from_this());
    const HRESULT hr = pManager->QueryInterface(riid, ppv);
    pManager->Release();
    return hr;
}

std::vector<CMemorySharingService::SItem> CMemorySharingService::GetItems() const
{
    std::lock_guard lock(m_Mutex);
    return m_Items;
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
    if (FAILED(it->second.hrEnableSharing))
        return it->second.hrEnableSharing;
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
    if (FAILED(it->second.hrDisableSharing))
        return it->second.hrDisableSharing;
    it->second.bSharingEnabled = false;
    return S_OK;
}
