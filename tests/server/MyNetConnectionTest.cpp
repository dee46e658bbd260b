// SPDX-License-Identifier: GPL-3.0-or-later
#include "MyNetConnection.h"
#include "TestPlatform.h"

#include "ComObject.h"
#include "Kernel.h"
#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "SharingServiceDoubles.h"
#include "SharingServiceObjects.h"
#include "TraceCapture.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>

namespace
{

using SConnection = CMemorySharingService::SConnection;
using EItemKind = CMemorySharingService::EItemKind;

// The system's words for a code (they differ between Windows, Wine and our layer), as the Log
// quotes them: without the closing full stop.
std::string SystemMessage(HRESULT hr)
{
    char cMessage[512] = {};
    const DWORD dwLength =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(hr), 0, cMessage, sizeof cMessage, nullptr);
    std::string strMessage(cMessage, dwLength);
    while (!strMessage.empty() && std::strchr(" .\r\n", strMessage.back()) != nullptr)
        strMessage.pop_back();
    EXPECT_FALSE(strMessage.empty()) << std::hex << hr;
    return strMessage;
}

// A manager that fails on purpose at one step of the enumeration.
class CBrokenManager : public CComObject<INetSharingManager>
{
public:
    enum class EFault { NoCollection, NoEnumerator, NotAnEnumVariant };

    explicit CBrokenManager(EFault fault) : CComObject(IID_INetSharingManager), m_Fault(fault) {}

    HRESULT get_EnumEveryConnection(INetSharingEveryConnectionCollection** ppColl) override
    {
        *ppColl = m_Fault == EFault::NoCollection ? nullptr : new CCollection(m_Fault);
        return *ppColl == nullptr ? E_FAIL : S_OK;
    }
    HRESULT get_NetConnectionProps(INetConnection*, INetConnectionProps** ppProps) override
    {
        *ppProps = nullptr;
        return E_FAIL;
    }
    HRESULT get_INetSharingConfigurationForINetConnection(
        INetConnection*, INetSharingConfiguration** ppConfiguration) override
    {
        *ppConfiguration = nullptr;
        return E_FAIL;
    }

private:
    class CCollection : public CComObject<INetSharingEveryConnectionCollection>
    {
    public:
        explicit CCollection(EFault fault)
            : CComObject(IID_INetSharingEveryConnectionCollection), m_Fault(fault)
        {
        }
        HRESULT get__NewEnum(IUnknown** pVal) override
        {
            *pVal =
                m_Fault == EFault::NoEnumerator ? nullptr : new CComObject<IUnknown>(IID_IUnknown);
            return S_OK;
        }
        HRESULT get_Count(long* pVal) override
        {
            *pVal = 0;
            return S_OK;
        }

    private:
        EFault m_Fault;
    };

    EFault m_Fault;
};

class CBrokenFactory : public CComObject<IClassFactory>
{
public:
    explicit CBrokenFactory(CBrokenManager::EFault fault)
        : CComObject(IID_IClassFactory), m_Fault(fault)
    {
    }
    HRESULT CreateInstance(IUnknown*, REFIID riid, void** ppvObject) override
    {
        auto* pManager = new CBrokenManager(m_Fault);
        const HRESULT hr = pManager->QueryInterface(riid, ppvObject);
        pManager->Release();
        return hr;
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    CBrokenManager::EFault m_Fault;
};

class MyNetConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }

    void TearDown() override
    {
        m_pRegistration.reset();
        CoUninitialize();
    }

    void Register(IUnknown* pClassObject)
    {
        m_pRegistration.reset();
        m_pRegistration = std::make_unique<CRegisteredService>(pClassObject);
        ASSERT_EQ(m_pRegistration->Result(), S_OK);
    }

    std::shared_ptr<CMemorySharingService> Service()
    {
        auto pService = CMemorySharingService::Create();
        m_pRegistration = std::make_unique<CRegisteredService>(pService);
        EXPECT_EQ(m_pRegistration->Result(), S_OK);
        return pService;
    }

    std::string Query()
    {
        CTraceCapture capture;
        m_bQueried = m_Manager.QueryConnections();
        return capture.Text();
    }

    std::unique_ptr<CRegisteredService> m_pRegistration;
    bool m_bQueried = false;
    CMyNetConnection m_Manager;
};

} // namespace

TEST_F(MyNetConnectionTest, machineWithoutConnectionsGivesZeroCounts)
{
    Service();
    EXPECT_EQ(Query(), "");
    EXPECT_TRUE(m_bQueried);
    EXPECT_EQ(m_Manager.m_nConnections, 0);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 0);
}

TEST_F(MyNetConnectionTest, theBuildsServiceListsItsTwoConnections)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the build's service is the system's NetSharingManager, with the "
                        "machine's own connections (Wine has none)";
    Query();
    ASSERT_EQ(m_Manager.m_nConnections, 2);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 1);
    EXPECT_EQ(m_Manager.GetName(0), "Local Area Connection");
    EXPECT_EQ(m_Manager.GetMediaType(0), NCM_LAN);
    EXPECT_EQ(m_Manager.GetStatus(0), NCS_CONNECTED);
    EXPECT_EQ(m_Manager.GetName(1), "My ISP");
    EXPECT_EQ(m_Manager.GetMediaType(1), NCM_PHONE);
    EXPECT_EQ(m_Manager.GetStatus(1), NCS_DISCONNECTED);
}

TEST_F(MyNetConnectionTest, itemsThatAreNotConnectionsTakeNoIndex)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"A", NCM_LAN));
    pService->AddItem(EItemKind::NotAnObject);
    pService->AddItem(EItemKind::WithoutNetConnection);
    pService->AddConnection(TestConnection(L"B", NCM_PHONE));
    EXPECT_EQ(Query(), "CMyNetConnection::QueryConnections(): Found connection 0\n"
                       "CMyNetConnection::QueryConnections(): Connection 0 is a something else\n"
                       "CMyNetConnection::QueryConnections(): Found connection 1\n"
                       "CMyNetConnection::QueryConnections(): Connection 1 is a Dialup\n");
    EXPECT_TRUE(m_bQueried);
    ASSERT_EQ(m_Manager.m_nConnections, 2);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 1);
    EXPECT_EQ(m_Manager.GetName(0), "A");
    EXPECT_EQ(m_Manager.GetName(1), "B");
}

TEST_F(MyNetConnectionTest, dialupFoundThirdIsTracedWithIndexTwo)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"A", NCM_LAN));
    pService->AddConnection(TestConnection(L"B", NCM_LAN));
    pService->AddConnection(TestConnection(L"C", NCM_PHONE));
    const std::string strTrace = Query();
    EXPECT_NE(strTrace.find("CMyNetConnection::QueryConnections(): Found connection 2\n"
                            "CMyNetConnection::QueryConnections(): Connection 2 is a Dialup\n"),
              std::string::npos);
    EXPECT_NE(strTrace.find("Connection 1 is a something else\n"), std::string::npos);
}

TEST_F(MyNetConnectionTest, unreadableConnectionGivesDefaults)
{
    auto pService = Service();
    auto connection = TestConnection(L"Hidden", NCM_PHONE);
    connection.bPropertiesReadable = false;
    pService->AddConnection(connection);
    EXPECT_NE(Query().find("Connection 0 is a something else\n"), std::string::npos);
    ASSERT_EQ(m_Manager.m_nConnections, 1);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 0);
    EXPECT_EQ(m_Manager.GetName(0), "");
    EXPECT_EQ(m_Manager.GetStatus(0), -1);
    EXPECT_EQ(m_Manager.GetMediaType(0), -1);
    EXPECT_EQ(m_Manager.IsShared(0), VARIANT_FALSE);
    VARIANT_BOOL bShared = 1;
    CTraceCapture capture;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(capture.Text(), "CMyNetConnection::SetShared(): pNCP == NULL\n");
}

TEST_F(MyNetConnectionTest, onlyDialupConnectionsAreSharedOrReportedShared)
{
    auto pService = Service();
    auto lan = TestConnection(L"LAN", NCM_LAN);
    lan.bSharingEnabled = true;
    const int nLan = pService->AddConnection(lan);
    Query();
    EXPECT_EQ(m_Manager.IsShared(0), VARIANT_FALSE);
    VARIANT_BOOL bShared = 0;
    CTraceCapture capture;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(capture.Text(), "CMyNetConnection::SetShared(): GetMediaType(nIndex) != NCM_PHONE\n");
    EXPECT_TRUE(pService->GetConnection(nLan).bSharingEnabled);
}

TEST_F(MyNetConnectionTest, sharingAndUnsharingADialupConnection)
{
    auto pService = Service();
    const int nId = pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Query();
    VARIANT_BOOL bShared = 1;
    CTraceCapture capture;
    EXPECT_TRUE(m_Manager.SetShared(0, bShared));
    EXPECT_NE(bShared, 0);
    EXPECT_NE(m_Manager.IsShared(0), 0);
    EXPECT_TRUE(pService->GetConnection(nId).bSharingEnabled);
    bShared = 0;
    EXPECT_TRUE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(bShared, 0);
    EXPECT_EQ(m_Manager.IsShared(0), 0);
    EXPECT_EQ(capture.Text(), "Success\nSuccess\n");
}

TEST_F(MyNetConnectionTest, aRefusalByTheServiceIsAFailureWithItsReason)
{
    auto pService = Service();
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.hrEnableSharing = E_FAIL;
    dialup.bSharingEnabled = true;
    dialup.hrDisableSharing = E_ACCESSDENIED;
    const int nId = pService->AddConnection(dialup);
    Query();
    VARIANT_BOOL bShared = 1;
    CTraceCapture capture;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(capture.Text(), "An unspecified error occurred.\n");
    // The flag holds what the service reports after the refusal.
    EXPECT_NE(bShared, 0);
    // Without the service's words, the system's message for the code.
    EXPECT_EQ(m_Manager.Refusal(), SystemMessage(E_FAIL));
    bShared = 0;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(m_Manager.Refusal(),
              SystemMessage(E_ACCESSDENIED) + "; the server must run as an administrator");

    // The service's own words, when it leaves them, take the system's place.
    dialup.strFailure = L"the server does not have the CAP_NET_ADMIN capability";
    pService->RemoveConnection(nId);
    pService->AddConnection(dialup);
    Query();
    bShared = 0;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(m_Manager.Refusal(), "the server does not have the CAP_NET_ADMIN capability");
    // Words left by an earlier failure are not taken for a later one's.
    dialup.strFailure.clear();
    ReportFailure(E_FAIL, L"stale words");
    pService->RemoveConnection(nId + 1);
    pService->AddConnection(dialup);
    Query();
    bShared = 1;
    EXPECT_FALSE(m_Manager.SetShared(0, bShared));
    EXPECT_EQ(m_Manager.Refusal(), SystemMessage(E_FAIL));
    // A connection refused before the service is asked leaves no reason behind.
    EXPECT_FALSE(m_Manager.SetShared(1, bShared));
    EXPECT_EQ(m_Manager.Refusal(), "");
}

TEST_F(MyNetConnectionTest, sharingASecondDialupUnsharesTheFirst)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"ISP one", NCM_PHONE));
    pService->AddConnection(TestConnection(L"ISP two", NCM_PHONE));
    Query();
    EXPECT_EQ(m_Manager.m_nDialupConnections, 2);
    VARIANT_BOOL bShared = 1;
    ASSERT_TRUE(m_Manager.SetShared(0, bShared));
    bShared = 1;
    ASSERT_TRUE(m_Manager.SetShared(1, bShared));
    EXPECT_EQ(m_Manager.IsShared(0), 0);
    EXPECT_NE(m_Manager.IsShared(1), 0);
}

TEST_F(MyNetConnectionTest, indicesOutsideTheListAreRefused)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Query();
    for (const int nIndex : {-1, 1, 255, 256, INT_MAX, INT_MIN}) {
        EXPECT_EQ(m_Manager.GetName(nIndex), "") << nIndex;
        EXPECT_EQ(m_Manager.GetStatus(nIndex), -1) << nIndex;
        EXPECT_EQ(m_Manager.GetMediaType(nIndex), -1) << nIndex;
        EXPECT_EQ(m_Manager.IsShared(nIndex), 0) << nIndex;
        VARIANT_BOOL bShared = 1;
        CTraceCapture capture;
        EXPECT_FALSE(m_Manager.SetShared(nIndex, bShared)) << nIndex;
        EXPECT_EQ(capture.Text(), "CMyNetConnection::SetShared(): pNCP == NULL\n");
    }
}

TEST_F(MyNetConnectionTest, enumerationStopsAt256Connections)
{
    auto pService = Service();
    for (int i = 0; i < 300; ++i)
        pService->AddConnection(TestConnection(L"LAN", i == 299 ? NCM_PHONE : NCM_LAN));
    const std::string strTrace = Query();
    EXPECT_TRUE(m_bQueried);
    EXPECT_EQ(m_Manager.m_nConnections, 256);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 0);
    EXPECT_NE(strTrace.find("Found connection 255\n"), std::string::npos);
    EXPECT_EQ(strTrace.find("Found connection 256\n"), std::string::npos);
    EXPECT_NE(strTrace.find("CMyNetConnection::QueryConnections(): More than 256 connections, "
                            "the rest are left out\n"),
              std::string::npos);
    EXPECT_EQ(m_Manager.GetName(255), "LAN");
    EXPECT_EQ(m_Manager.GetName(256), "");
}

TEST_F(MyNetConnectionTest, managerThatCannotBeCreatedGivesNoConnectionsAndIsTriedAgain)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    pService->SetCreateResult(E_ACCESSDENIED);
    EXPECT_EQ(Query(), "");
    EXPECT_TRUE(m_bQueried);
    EXPECT_EQ(m_Manager.m_nConnections, 0);
    pService->SetCreateResult(S_OK);
    Query();
    EXPECT_EQ(m_Manager.m_nConnections, 1);
    // Once made, the manager is kept: later creation failures do not matter.
    pService->SetCreateResult(E_FAIL);
    Query();
    EXPECT_EQ(m_Manager.m_nConnections, 1);
}

TEST_F(MyNetConnectionTest, missingCollectionOrEnumeratorFailsTheQuery)
{
    for (const auto fault :
         {CBrokenManager::EFault::NoCollection, CBrokenManager::EFault::NoEnumerator,
          CBrokenManager::EFault::NotAnEnumVariant}) {
        Register(new CBrokenFactory(fault));
        CMyNetConnection manager;
        EXPECT_FALSE(manager.QueryConnections());
        EXPECT_EQ(manager.m_nConnections, 0);
        EXPECT_EQ(manager.m_nDialupConnections, 0);
    }
}

TEST_F(MyNetConnectionTest, secondQueryNumbersTheRemainingConnectionsAfresh)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"A", NCM_LAN));
    const int nRemoved = pService->AddConnection(TestConnection(L"B", NCM_PHONE));
    pService->AddConnection(TestConnection(L"C", NCM_PHONE));
    Query();
    ASSERT_EQ(m_Manager.m_nConnections, 3);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 2);
    pService->RemoveConnection(nRemoved);
    Query();
    ASSERT_EQ(m_Manager.m_nConnections, 2);
    EXPECT_EQ(m_Manager.m_nDialupConnections, 1);
    EXPECT_EQ(m_Manager.GetName(0), "A");
    EXPECT_EQ(m_Manager.GetName(1), "C");
    EXPECT_EQ(m_Manager.GetName(2), "");
}

TEST_F(MyNetConnectionTest, namesConvertToNarrowText)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "the ANSI code page is the system's";
    auto pService = Service();
    pService->AddConnection(TestConnection(L"Caf\u00e9 link", NCM_PHONE));
    pService->AddConnection(TestConnection(L"", NCM_LAN));
    Query();
    EXPECT_EQ(m_Manager.GetName(0), "Caf\xc3\xa9 link");
    EXPECT_EQ(m_Manager.GetName(1), "");
}

TEST(MyNetConnectionTraceTest, eachResultCodeHasItsLine)
{
    const std::pair<HRESULT, const char*> table[] = {
        {S_OK, "Success\n"},
        {E_NOTIMPL, "A specified method is not implemented.\n"},
        {E_NOINTERFACE, "A specified interface is not supported.\n"},
        {E_POINTER, "A pointer passed as a parameter is not valid.\n"},
        {E_ABORT, "The operation was aborted.\n"},
        {E_FAIL, "An unspecified error occurred.\n"},
        {E_UNEXPECTED, "The method failed for unknown reasons.\n"},
        {E_OUTOFMEMORY, "The method was unable to allocate required memory.\n"},
        {E_INVALIDARG, "One of the parameters is invalid.\n"},
        {E_ACCESSDENIED, "Unhandled condition.\n"},
        {S_FALSE, "Unhandled condition.\n"},
    };
    CMyNetConnection manager;
    for (const auto& [hr, pszLine] : table) {
        CTraceCapture capture;
        manager.TraceHResult(hr);
        EXPECT_EQ(capture.Text(), pszLine) << std::hex << hr;
    }
}

TEST_F(MyNetConnectionTest, theFourQuestionsAnswerEachKindOfConnection)
{
    auto pService = Service();
    auto hidden = TestConnection(L"Hidden", NCM_PHONE);
    hidden.bPropertiesReadable = false;
    auto sharedLan = TestConnection(L"LAN", NCM_LAN);
    sharedLan.bSharingEnabled = true;
    auto sharedDialup = TestConnection(L"My ISP", NCM_PHONE, NCS_DISCONNECTED);
    sharedDialup.bSharingEnabled = true;
    for (const SConnection& connection :
         {hidden, sharedLan, sharedDialup, TestConnection(L"Other ISP", NCM_PHONE),
          TestConnection(L"Tunnel", NCM_TUNNEL, NCS_MEDIA_DISCONNECTED)})
        pService->AddConnection(connection);
    Query();
    ASSERT_EQ(m_Manager.m_nConnections, 5);
    for (const int nIndex : {-1, 0, 5}) {
        EXPECT_EQ(m_Manager.GetName(nIndex), "") << nIndex;
        EXPECT_EQ(m_Manager.GetStatus(nIndex), -1) << nIndex;
        EXPECT_EQ(m_Manager.GetMediaType(nIndex), -1) << nIndex;
        EXPECT_EQ(m_Manager.IsShared(nIndex), VARIANT_FALSE) << nIndex;
    }
    EXPECT_EQ(m_Manager.GetName(2), "My ISP");
    EXPECT_EQ(m_Manager.GetStatus(2), NCS_DISCONNECTED);
    EXPECT_EQ(m_Manager.IsShared(2), VARIANT_TRUE);
    EXPECT_EQ(m_Manager.IsShared(1), VARIANT_FALSE);
    EXPECT_EQ(m_Manager.IsShared(3), VARIANT_FALSE);
    EXPECT_EQ(m_Manager.GetMediaType(4), NCM_TUNNEL);
    EXPECT_EQ(m_Manager.GetStatus(4), NCS_MEDIA_DISCONNECTED);
}
