// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinuxSharingObjects.h"

#include "GuidText.h"
#include "IpHelper.h"
#include "LinuxSharingService.h"
#include "SharingAdvice.h"
#include "SharingServiceObjects.h"

namespace
{

using ServicePtr = std::shared_ptr<CLinuxSharingService>;

// A connection's own objects read the interface from the kernel at every question.
template <typename TInterface>
class CInterfaceObject : public CServiceObject<TInterface, CLinuxSharingService, SLinkAttributes>
{
protected:
    CInterfaceObject(REFIID iid, ServicePtr pService, SLinkAttributes known)
        : CServiceObject<TInterface, CLinuxSharingService, SLinkAttributes>(
              iid, std::move(pService), std::move(known))
    {
    }

    SLinkAttributes Now() const { return this->m_pService->ReadConnection(this->Key()); }
};

class CLinuxConnection : public CInterfaceObject<INetConnection>
{
public:
    CLinuxConnection(ServicePtr pService, SLinkAttributes known)
        : CInterfaceObject(IID_INetConnection, std::move(pService), std::move(known))
    {
    }
};

class CLinuxConnectionProps : public CInterfaceObject<INetConnectionProps>
{
public:
    CLinuxConnectionProps(ServicePtr pService, SLinkAttributes known)
        : CInterfaceObject(IID_INetConnectionProps, std::move(pService), std::move(known))
    {
    }

    HRESULT get_Name(BSTR* pbstrName) override
    {
        if (pbstrName == nullptr)
            return E_POINTER;
        *pbstrName = SysAllocString(Now().ConnectionName().c_str());
        return *pbstrName != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT get_Status(NETCON_STATUS* pStatus) override
    {
        if (pStatus == nullptr)
            return E_POINTER;
        *pStatus = Now().Status();
        return S_OK;
    }

    HRESULT get_MediaType(NETCON_MEDIATYPE* pMediaType) override
    {
        if (pMediaType == nullptr)
            return E_POINTER;
        *pMediaType = m_pService->MediaTypeOf(Now());
        return S_OK;
    }

    // The adapter is the interface, known by its name.
    HRESULT get_Guid(BSTR* pbstrGuid) override
    {
        if (pbstrGuid == nullptr)
            return E_POINTER;
        *pbstrGuid = SysAllocString(GuidWideText(InterfaceGuid(Now().strName)).c_str());
        return *pbstrGuid != nullptr ? S_OK : E_OUTOFMEMORY;
    }
};

class CLinuxSharingConfiguration : public CInterfaceObject<INetSharingConfiguration>
{
public:
    CLinuxSharingConfiguration(ServicePtr pService, SLinkAttributes known)
        : CInterfaceObject(IID_INetSharingConfiguration, std::move(pService), std::move(known))
    {
    }

    HRESULT get_SharingEnabled(VARIANT_BOOL* pbEnabled) override
    {
        if (pbEnabled == nullptr)
            return E_POINTER;
        bool bShared = false;
        const HRESULT hr = m_pService->IsShared(Now().strName, bShared);
        *pbEnabled = bShared ? VARIANT_TRUE : VARIANT_FALSE;
        return hr;
    }

    // Masquerading is sharing as the public side; the private side needs no choosing here, since
    // every other network's forwarded traffic goes out through the shared connection.
    HRESULT get_SharingConnectionType(SHARINGCONNECTIONTYPE* pType) override
    {
        if (pType == nullptr)
            return E_POINTER;
        *pType = ICSSHARINGTYPE_PUBLIC;
        return S_OK;
    }

    HRESULT DisableSharing() override { return m_pService->DisableSharing(Now().strName); }

    HRESULT EnableSharing(SHARINGCONNECTIONTYPE Type) override
    {
        return m_pService->EnableSharing(Now().strName, Type);
    }
};

class CLinuxEnumVariant
    : public CSnapshotEnumVariant<CLinuxEnumVariant, CLinuxSharingService, SLinkAttributes>
{
public:
    CLinuxEnumVariant(ServicePtr pService, std::vector<SLinkAttributes> links,
                      std::size_t nNext = 0)
        : CSnapshotEnumVariant(std::move(pService), std::move(links), nNext)
    {
    }

private:
    void MakeItem(const SLinkAttributes& link, VARIANT& var) const override
    {
        VariantInit(&var);
        var.vt = VT_UNKNOWN;
        var.punkVal = new CLinuxConnection(m_pService, link);
    }
};

using CLinuxConnectionCollection = CSnapshotCollection<CLinuxSharingService, CLinuxEnumVariant,
                                                       &CLinuxSharingService::ReadConnections>;

// The manager also gives the service's advice: what it found in the way of its sharing, and of
// the LAN's clients on their way to the server.
class CLinuxSharingManager
    : public CWithInterface<CSharingManagerBase<CLinuxSharingService, CLinuxConnectionCollection>,
                            ITarnlowSharingAdvice, IID_ITarnlowSharingAdvice>
{
public:
    using CWithInterface::CWithInterface;

    HRESULT SetClientPort(LONG nPort) override
    {
        m_pService->CheckClientPort(nPort);
        return S_OK;
    }

    HRESULT SetAdviceEvent(HANDLE hEvent) override
    {
        m_pService->SetAdviceEvent(hEvent);
        return S_OK;
    }

    HRESULT TakeAdvice(BSTR* pbstrAdvice, BOOL* pbWarning) override
    {
        if (pbstrAdvice == nullptr || pbWarning == nullptr)
            return E_POINTER;
        *pbstrAdvice = nullptr;
        CLinuxSharingService::SAdvice advice;
        if (!m_pService->TakeAdvice(advice))
            return S_FALSE;
        *pbWarning = advice.bWarning ? TRUE : FALSE;
        *pbstrAdvice = SysAllocString(advice.strText.c_str());
        return *pbstrAdvice != nullptr ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT BeginReading() override
    {
        m_pService->BeginReading();
        return S_OK;
    }

    HRESULT EndReading() override
    {
        m_pService->EndReading();
        return S_OK;
    }

    HRESULT get_NetConnectionProps(INetConnection* pNetConnection,
                                   INetConnectionProps** ppProps) override
    {
        return MakeFor<CLinuxConnectionProps>(pNetConnection, ppProps);
    }

    HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection* pNetConnection, INetSharingConfiguration** ppConfiguration) override
    {
        return MakeFor<CLinuxSharingConfiguration>(pNetConnection, ppConfiguration);
    }

private:
    template <typename TObject, typename TInterface>
    HRESULT MakeFor(INetConnection* pNetConnection, TInterface** ppObject) const
    {
        if (ppObject == nullptr)
            return E_POINTER;
        *ppObject = nullptr;
        const auto* pConnection = OwnConnection<CLinuxConnection>(pNetConnection, m_pService.get());
        if (pConnection == nullptr)
            return E_INVALIDARG;
        *ppObject = new TObject(m_pService, pConnection->Key());
        return S_OK;
    }
};

} // namespace

HRESULT NewLinuxSharingManager(std::shared_ptr<CLinuxSharingService> pService, REFIID riid,
                               void** ppv)
{
    return QueryNewObject(new CLinuxSharingManager(std::move(pService)), riid, ppv);
}
