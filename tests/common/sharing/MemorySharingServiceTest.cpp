// SPDX-License-Identifier: GPL-3.0-or-later
#include "MemorySharingService.h"
#include "SharingEnumeration.h"

#include <gtest/gtest.h>

namespace
{

// Walks the service's own objects as a client of the interfaces would.
class MemorySharingServiceTest : public ::testing::Test
{
protected:
    void Use(const std::shared_ptr<CMemorySharingService>& pService)
    {
        m_pService = pService;
        ASSERT_EQ(
            pService->CreateManager(IID_INetSharingManager, reinterpret_cast<void**>(&m_pManager)),
            S_OK);
        ForEachItem(m_pManager, [this](const VARIANT& var) {
            m_ItemTypes.push_back(var.vt);
            if (INetConnection* pConnection = ConnectionOf(var))
                m_Connections.push_back(pConnection);
        });
    }

    void TearDown() override
    {
        for (INetConnection* pConnection : m_Connections)
            pConnection->Release();
        if (m_pManager != nullptr)
            m_pManager->Release();
    }

    std::wstring Name(std::size_t i)
    {
        INetConnectionProps* pProps = nullptr;
        m_pManager->get_NetConnectionProps(m_Connections[i], &pProps);
        BSTR bstrName = nullptr;
        pProps->get_Name(&bstrName);
        pProps->Release();
        std::wstring strName(bstrName);
        SysFreeString(bstrName);
        return strName;
    }

    INetSharingConfiguration* Configuration(std::size_t i)
    {
        INetSharingConfiguration* pConfiguration = nullptr;
        m_pManager->get_INetSharingConfigurationForINetConnection(m_Connections[i],
                                                                  &pConfiguration);
        return pConfiguration;
    }

    VARIANT_BOOL Enabled(std::size_t i)
    {
        INetSharingConfiguration* pConfiguration = Configuration(i);
        VARIANT_BOOL bEnabled = 7;
        pConfiguration->get_SharingEnabled(&bEnabled);
        pConfiguration->Release();
        return bEnabled;
    }

    HRESULT Enable(std::size_t i)
    {
        INetSharingConfiguration* pConfiguration = Configuration(i);
        SHARINGCONNECTIONTYPE type = ICSSHARINGTYPE_PRIVATE;
        pConfiguration->get_SharingConnectionType(&type);
        const HRESULT hr = pConfiguration->EnableSharing(type);
        pConfiguration->Release();
        return hr;
    }

    std::shared_ptr<CMemorySharingService> m_pService;
    INetSharingManager* m_pManager = nullptr;
    std::vector<VARTYPE> m_ItemTypes;
    std::vector<INetConnection*> m_Connections;
};

CMemorySharingService::SConnection Dialup(const wchar_t* pszName)
{
    CMemorySharingService::SConnection connection;
    connection.strName = pszName;
    connection.MediaType = NCM_PHONE;
    connection.Status = NCS_DISCONNECTED;
    connection.SharingType = ICSSHARINGTYPE_PUBLIC;
    return connection;
}

} // namespace

TEST_F(MemorySharingServiceTest, startsWithTheLanAndTheDialupConnection)
{
    Use(CMemorySharingService::CreateWithDefaultConnections());
    ASSERT_EQ(m_Connections.size(), 2u);
    EXPECT_EQ(Name(0), L"Local Area Connection");
    EXPECT_EQ(Name(1), L"My ISP");
    INetConnectionProps* pProps = nullptr;
    ASSERT_EQ(m_pManager->get_NetConnectionProps(m_Connections[1], &pProps), S_OK);
    NETCON_MEDIATYPE mediaType = NCM_NONE;
    NETCON_STATUS status = NCS_CONNECTED;
    pProps->get_MediaType(&mediaType);
    pProps->get_Status(&status);
    pProps->Release();
    EXPECT_EQ(mediaType, NCM_PHONE);
    EXPECT_EQ(status, NCS_DISCONNECTED);
    EXPECT_EQ(Enabled(0), VARIANT_FALSE);
    EXPECT_EQ(Enabled(1), VARIANT_FALSE);
}

TEST_F(MemorySharingServiceTest, sharingAnotherPublicConnectionUnsharesTheFirst)
{
    auto pService = CMemorySharingService::Create();
    const int nFirst = pService->AddConnection(Dialup(L"ISP one"));
    const int nSecond = pService->AddConnection(Dialup(L"ISP two"));
    Use(pService);
    EXPECT_EQ(Enable(0), S_OK);
    EXPECT_EQ(Enabled(0), VARIANT_TRUE);
    EXPECT_EQ(Enable(1), S_OK);
    EXPECT_EQ(Enabled(0), VARIANT_FALSE);
    EXPECT_EQ(Enabled(1), VARIANT_TRUE);
    EXPECT_FALSE(pService->GetConnection(nFirst).bSharingEnabled);
    EXPECT_TRUE(pService->GetConnection(nSecond).bSharingEnabled);
}

TEST_F(MemorySharingServiceTest, refusedChangesLeaveTheStateAlone)
{
    auto pService = CMemorySharingService::Create();
    auto connection = Dialup(L"ISP");
    connection.hrEnableSharing = E_ACCESSDENIED;
    connection.hrDisableSharing = E_FAIL;
    connection.bSharingEnabled = true;
    pService->AddConnection(connection);
    Use(pService);
    EXPECT_EQ(Enable(0), E_ACCESSDENIED);
    INetSharingConfiguration* pConfiguration = Configuration(0);
    EXPECT_EQ(pConfiguration->DisableSharing(), E_FAIL);
    pConfiguration->Release();
    EXPECT_EQ(Enabled(0), VARIANT_TRUE);
}

TEST_F(MemorySharingServiceTest, faultyItemsAndUnreadableConnections)
{
    auto pService = CMemorySharingService::Create();
    pService->AddConnection(Dialup(L"A"));
    pService->AddItem(CMemorySharingService::EItemKind::NotAnObject);
    pService->AddItem(CMemorySharingService::EItemKind::WithoutNetConnection);
    auto unreadable = Dialup(L"B");
    unreadable.bPropertiesReadable = false;
    pService->AddConnection(unreadable);
    Use(pService);
    EXPECT_EQ(m_ItemTypes, (std::vector<VARTYPE>{VT_UNKNOWN, VT_I4, VT_UNKNOWN, VT_UNKNOWN}));
    ASSERT_EQ(m_Connections.size(), 2u);
    INetConnectionProps* pProps = nullptr;
    EXPECT_EQ(m_pManager->get_NetConnectionProps(m_Connections[1], &pProps), E_FAIL);
    EXPECT_EQ(pProps, nullptr);
    EXPECT_EQ(m_pManager->get_NetConnectionProps(nullptr, &pProps), E_INVALIDARG);
}

TEST_F(MemorySharingServiceTest, removedConnectionCanNoLongerBeRead)
{
    auto pService = CMemorySharingService::Create();
    const int nId = pService->AddConnection(Dialup(L"A"));
    Use(pService);
    pService->RemoveConnection(nId);
    INetConnectionProps* pProps = nullptr;
    EXPECT_EQ(m_pManager->get_NetConnectionProps(m_Connections[0], &pProps), E_FAIL);
    EXPECT_EQ(Enable(0), E_FAIL);
}

TEST_F(MemorySharingServiceTest, connectionOfAnotherServiceIsRefused)
{
    auto pOther = CMemorySharingService::CreateWithDefaultConnections();
    Use(pOther);
    INetConnection* pForeign = m_Connections[0];
    m_Connections[1]->Release();
    m_Connections.clear();
    INetSharingManager* pOtherManager = m_pManager;
    m_pManager = nullptr;
    Use(CMemorySharingService::CreateWithDefaultConnections());
    INetConnectionProps* pProps = nullptr;
    EXPECT_EQ(m_pManager->get_NetConnectionProps(pForeign, &pProps), E_INVALIDARG);
    pForeign->Release();
    pOtherManager->Release();
}

// The enumeration keeps its place through Skip and Clone, and says when it runs out.
TEST(MemorySharingEnumerationTest, aCloneGoesOnFromTheSamePlace)
{
    auto pService = CMemorySharingService::Create();
    pService->AddItem(CMemorySharingService::EItemKind::NotAnObject);
    pService->AddItem(CMemorySharingService::EItemKind::NotAnObject);
    pService->AddItem(CMemorySharingService::EItemKind::NotAnObject);
    INetSharingManager* pManager = nullptr;
    ASSERT_EQ(pService->CreateManager(IID_INetSharingManager, reinterpret_cast<void**>(&pManager)),
              S_OK);
    INetSharingEveryConnectionCollection* pCollection = nullptr;
    ASSERT_EQ(pManager->get_EnumEveryConnection(&pCollection), S_OK);
    IUnknown* pUnk = nullptr;
    ASSERT_EQ(pCollection->get__NewEnum(&pUnk), S_OK);
    IEnumVARIANT* pEnum = nullptr;
    ASSERT_EQ(pUnk->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&pEnum)), S_OK);
    ASSERT_EQ(pEnum->Skip(1), S_OK);
    IEnumVARIANT* pClone = nullptr;
    ASSERT_EQ(pEnum->Clone(&pClone), S_OK);
    VARIANT items[3];
    ULONG nFetched = 0;
    EXPECT_EQ(pClone->Next(3, items, &nFetched), S_FALSE);
    ASSERT_EQ(nFetched, 2u);
    // Items not made of objects carry their ids (0, 1, 2): the clone starts at the second.
    EXPECT_EQ(items[0].vt, VT_I4);
    EXPECT_EQ(items[0].lVal, 1);
    EXPECT_EQ(items[1].lVal, 2);
    EXPECT_EQ(pEnum->Skip(3), S_FALSE);
    EXPECT_EQ(pEnum->Next(1, items, &nFetched), S_FALSE);
    EXPECT_EQ(nFetched, 0u);
    pClone->Release();
    pEnum->Release();
    pUnk->Release();
    pCollection->Release();
    pManager->Release();
}
