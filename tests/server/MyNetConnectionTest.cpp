// SPDX-License-Identifier: GPL-3.0-or-later
#include "MyNetConnection.h"
#include "AdapterGuid.h"
#include "TestPlatform.h"

#include "ComObject.h"
#include "Kernel.h"
#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "SharingRegistration.h"
#include "SharingServiceDoubles.h"
#include "SharingServiceObjects.h"
#include "TraceCapture.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace
{

using SConnection = CMemorySharingService::SConnection;
using EItemKind = CMemorySharingService::EItemKind;

// The system's words for a code (they differ between Windows, Wine and our layer), as the Log
// quotes them: without the closing full stop. Where a system has no words (Wine, for some), the
// Log gives the code.
std::string SystemMessage(HRESULT hr, bool bWordsRequired = true)
{
    char cMessage[512] = {};
    const DWORD dwLength =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(hr), 0, cMessage, sizeof cMessage, nullptr);
    std::string strMessage(cMessage, dwLength);
    while (!strMessage.empty() && std::strchr(" .\r\n", strMessage.back()) != nullptr)
        strMessage.pop_back();
    if (strMessage.empty() && !bWordsRequired) {
        char cCode[32];
        std::snprintf(cCode, sizeof cCode, "error 0x%08X", static_cast<unsigned>(hr));
        return cCode;
    }
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

    // A share or unshare, whose outcome is kept; the flag given becomes the one the service
    // reports after it.
    bool SetShared(int nIndex, VARIANT_BOOL& bShared,
                   const std::string& strClientAddress = std::string())
    {
        m_Outcome = m_Manager.SetShared(nIndex, bShared, strClientAddress);
        bShared = m_Outcome.bShared;
        return m_Outcome.bDone;
    }

    std::unique_ptr<CRegisteredService> m_pRegistration;
    bool m_bQueried = false;
    CMyNetConnection m_Manager;
    CMyNetConnection::SOutcome m_Outcome;
};

} // namespace

TEST_F(MyNetConnectionTest, machineWithoutConnectionsGivesZeroCounts)
{
    Service();
    EXPECT_EQ(Query(), "");
    EXPECT_TRUE(m_bQueried);
    EXPECT_EQ(m_Manager.ConnectionCount(), 0);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 0);
}

// The build's service, as the program registers it.
TEST_F(MyNetConnectionTest, theBuildsServiceListsItsTwoConnections)
{
    const CSharingRegistration sharing;
    Query();
    ASSERT_EQ(m_Manager.ConnectionCount(), 2);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 1);
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
    // A connection handed out as VT_DISPATCH is a connection too.
    pService->AddItem(EItemKind::DispatchConnection);
    EXPECT_EQ(Query(), "CMyNetConnection::QueryConnections(): Found connection 0\n"
                       "CMyNetConnection::QueryConnections(): Connection 0 is a something else\n"
                       "CMyNetConnection::QueryConnections(): Found connection 1\n"
                       "CMyNetConnection::QueryConnections(): Connection 1 is a Dialup\n"
                       "CMyNetConnection::QueryConnections(): Found connection 2\n"
                       "CMyNetConnection::QueryConnections(): Connection 2 is a something else\n");
    EXPECT_TRUE(m_bQueried);
    ASSERT_EQ(m_Manager.ConnectionCount(), 3);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 1);
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
    ASSERT_EQ(m_Manager.ConnectionCount(), 1);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 0);
    EXPECT_EQ(m_Manager.GetName(0), "");
    EXPECT_EQ(m_Manager.GetStatus(0), -1);
    EXPECT_EQ(m_Manager.GetMediaType(0), -1);
    EXPECT_EQ(m_Manager.IsShared(0), VARIANT_FALSE);
    VARIANT_BOOL bShared = 1;
    CTraceCapture capture;
    EXPECT_FALSE(SetShared(0, bShared));
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
    EXPECT_FALSE(SetShared(0, bShared));
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
    EXPECT_TRUE(SetShared(0, bShared));
    EXPECT_NE(bShared, 0);
    EXPECT_NE(m_Manager.IsShared(0), 0);
    EXPECT_TRUE(pService->GetConnection(nId).bSharingEnabled);
    bShared = 0;
    EXPECT_TRUE(SetShared(0, bShared));
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
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(capture.Text(), "An unspecified error occurred.\n");
    // The flag holds what the service reports after the refusal.
    EXPECT_NE(bShared, 0);
    // Without the service's words, the system's message for the code.
    EXPECT_EQ(m_Outcome.strRefusal, SystemMessage(E_FAIL));
    bShared = 0;
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(m_Outcome.strRefusal,
              SystemMessage(E_ACCESSDENIED) + "; the server must run as an administrator");

    // The service's own words, when it leaves them, take the system's place.
    dialup.strFailure = L"the server does not have the CAP_NET_ADMIN capability";
    pService->RemoveConnection(nId);
    pService->AddConnection(dialup);
    Query();
    bShared = 0;
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(m_Outcome.strRefusal, "the server does not have the CAP_NET_ADMIN capability");
    // Words left by an earlier failure are not taken for a later one's.
    dialup.strFailure.clear();
    ReportFailure(E_FAIL, L"stale words");
    pService->RemoveConnection(nId + 1);
    pService->AddConnection(dialup);
    Query();
    bShared = 1;
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(m_Outcome.strRefusal, SystemMessage(E_FAIL));
    // A connection refused before the service is asked leaves no reason behind.
    EXPECT_FALSE(SetShared(1, bShared));
    EXPECT_EQ(m_Outcome.strRefusal, "");
}

// What a server without an administrator's token, or under a policy, or without the service
// meets: every change refused, with the system's reason.
TEST_F(MyNetConnectionTest, everyChangeRefusedGivesTheSystemsReason)
{
    auto pService = Service();
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.bSharingEnabled = true;
    pService->AddConnection(dialup);
    Query();
    const std::pair<HRESULT, std::string> refusals[] = {
        {E_ACCESSDENIED,
         SystemMessage(E_ACCESSDENIED) + "; the server must run as an administrator"},
        {HRESULT_FROM_WIN32(ERROR_ACCESS_DISABLED_BY_POLICY),
         SystemMessage(HRESULT_FROM_WIN32(ERROR_ACCESS_DISABLED_BY_POLICY), false)},
        {HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE),
         SystemMessage(HRESULT_FROM_WIN32(ERROR_SERVICE_NOT_ACTIVE), false)},
    };
    for (const auto& [hr, strReason] : refusals) {
        pService->SetRefusal(hr, L"");
        for (const VARIANT_BOOL bWanted : {VARIANT_FALSE, VARIANT_TRUE}) {
            VARIANT_BOOL bShared = bWanted;
            EXPECT_FALSE(SetShared(0, bShared)) << std::hex << hr;
            EXPECT_EQ(m_Outcome.strRefusal, strReason);
            EXPECT_NE(bShared, 0);
        }
    }
}

// A service that needs a private side gets the LAN connection that carries the client, and loses
// it again with the unshare; a private side that someone else set up is left alone.
TEST_F(MyNetConnectionTest, aShareEnablesThePrivateSideAndTheUnshareOnlyWhatItEnabled)
{
    auto pService = Service();
    pService->SetPrivateSideNeeded(true);
    const int nOff = pService->AddConnection(TestConnection(L"Cable", NCM_LAN, NCS_DISCONNECTED));
    const int nLan = pService->AddConnection(TestConnection(L"Office LAN", NCM_LAN));
    const int nDialup = pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Query();
    VARIANT_BOOL bShared = VARIANT_TRUE;
    CTraceCapture capture;
    ASSERT_TRUE(SetShared(2, bShared, "127.0.0.1"));
    EXPECT_EQ(m_Outcome.sideChanges,
              (std::vector<std::string>{
                  "Office LAN becomes the LAN side, and Windows gives it a new address",
                  "Sharing with the LAN through Office LAN"}));
    EXPECT_NE(capture.Text().find("Enabling connection 1 as the private side\nSuccess\n"),
              std::string::npos);
    EXPECT_TRUE(pService->GetConnection(nLan).bSharingEnabled);
    EXPECT_EQ(pService->GetConnection(nLan).SharingType, ICSSHARINGTYPE_PRIVATE);
    EXPECT_FALSE(pService->GetConnection(nOff).bSharingEnabled);
    EXPECT_EQ(pService->GetConnection(nDialup).SharingType, ICSSHARINGTYPE_PUBLIC);
    // Sharing again finds the private side there and changes nothing on it.
    ASSERT_TRUE(SetShared(2, bShared));
    EXPECT_TRUE(m_Outcome.sideChanges.empty());
    bShared = VARIANT_FALSE;
    ASSERT_TRUE(SetShared(2, bShared));
    EXPECT_EQ(m_Outcome.sideChanges,
              std::vector<std::string>{"No longer sharing with the LAN through Office LAN"});
    EXPECT_FALSE(pService->GetConnection(nLan).bSharingEnabled);
    EXPECT_FALSE(pService->GetConnection(nDialup).bSharingEnabled);

    // A private side that the server did not enable stays through share and unshare.
    auto other = TestConnection(L"Other LAN", NCM_LAN);
    other.bSharingEnabled = true;
    const int nOther = pService->AddConnection(other);
    Query();
    bShared = VARIANT_TRUE;
    ASSERT_TRUE(SetShared(2, bShared));
    EXPECT_FALSE(pService->GetConnection(nLan).bSharingEnabled);
    bShared = VARIANT_FALSE;
    ASSERT_TRUE(SetShared(2, bShared));
    EXPECT_TRUE(m_Outcome.sideChanges.empty());
    EXPECT_TRUE(pService->GetConnection(nOther).bSharingEnabled);
}

// The dial-up connection is the public side whatever type it reports before it is shared; the
// service then ends the public sharing of another connection by itself, which is said.
TEST_F(MyNetConnectionTest, aShareIsPublicAndSaysWhichSharingItEnded)
{
    auto pService = Service();
    auto reportsPrivate = TestConnection(L"My ISP", NCM_PHONE);
    reportsPrivate.SharingType = ICSSHARINGTYPE_PRIVATE;
    const int nShared = pService->AddConnection(reportsPrivate);
    auto other = TestConnection(L"Other ISP", NCM_PHONE);
    other.bSharingEnabled = true;
    const int nOther = pService->AddConnection(other);
    Query();
    VARIANT_BOOL bShared = VARIANT_TRUE;
    ASSERT_TRUE(SetShared(0, bShared));
    EXPECT_EQ(pService->GetConnection(nShared).SharingType, ICSSHARINGTYPE_PUBLIC);
    EXPECT_FALSE(pService->GetConnection(nOther).bSharingEnabled);
    EXPECT_EQ(m_Outcome.sideChanges,
              std::vector<std::string>{
                  "Other ISP is no longer shared: one connection is shared at a time"});
    // Sharing what is shared already ends nothing.
    ASSERT_TRUE(SetShared(0, bShared));
    EXPECT_TRUE(m_Outcome.sideChanges.empty());
}

// No private side can be chosen (no LAN, or two connected ones and none of them the client's),
// or the service refuses it: the share fails and leaves the public side as it was.
TEST_F(MyNetConnectionTest, aShareWithoutAPrivateSideIsRefused)
{
    auto pService = Service();
    pService->SetPrivateSideNeeded(true);
    const int nDialup = pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Query();
    VARIANT_BOOL bShared = VARIANT_TRUE;
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(m_Outcome.strRefusal, "there is no LAN connection to share with");
    EXPECT_EQ(bShared, VARIANT_FALSE);
    pService->AddConnection(TestConnection(L"LAN one", NCM_LAN));
    auto refusing = TestConnection(L"LAN two", NCM_LAN);
    refusing.hrEnableSharing = E_ACCESSDENIED;
    refusing.strFailure = L"the adapter is managed elsewhere";
    const int nRefusing = pService->AddConnection(refusing);
    Query();
    bShared = VARIANT_TRUE;
    EXPECT_FALSE(SetShared(0, bShared, "192.0.2.1"));
    EXPECT_EQ(m_Outcome.strRefusal, "there is no LAN connection to share with");
    pService->RemoveConnection(nRefusing - 1);
    Query();
    bShared = VARIANT_TRUE;
    EXPECT_FALSE(SetShared(0, bShared));
    EXPECT_EQ(m_Outcome.strRefusal, "the adapter is managed elsewhere");
    EXPECT_EQ(bShared, VARIANT_FALSE);
    EXPECT_FALSE(pService->GetConnection(nDialup).bSharingEnabled);
    // A public side that was there before the share stays.
    auto shared = TestConnection(L"Other ISP", NCM_PHONE);
    shared.bSharingEnabled = true;
    shared.SharingType = ICSSHARINGTYPE_PUBLIC;
    const int nShared = pService->AddConnection(shared);
    Query();
    bShared = VARIANT_TRUE;
    EXPECT_FALSE(SetShared(2, bShared));
    EXPECT_NE(bShared, VARIANT_FALSE);
    EXPECT_TRUE(pService->GetConnection(nShared).bSharingEnabled);
}

// The IP helper names the adapter that has the client's address by its GUID, which the service's
// connection properties give, in either case.
TEST_F(MyNetConnectionTest, thePrivateSideIsTheAdapterThatCarriesTheClient)
{
    const std::string strGuid = AdapterGuidOf("127.0.0.1");
    ASSERT_FALSE(strGuid.empty());
    auto pService = Service();
    pService->SetPrivateSideNeeded(true);
    auto wireless = TestConnection(L"Wireless", NCM_LAN);
    wireless.strGuid = L"{00000000-0000-0000-0000-000000000001}";
    auto loopback = TestConnection(L"Loopback", NCM_LAN);
    for (const char c : strGuid)
        loopback.strGuid += static_cast<wchar_t>(std::tolower(static_cast<unsigned char>(c)));
    pService->AddConnection(wireless);
    const int nLoopback = pService->AddConnection(loopback);
    pService->AddConnection(TestConnection(L"My ISP", NCM_PHONE));
    Query();
    VARIANT_BOOL bShared = VARIANT_TRUE;
    ASSERT_TRUE(SetShared(2, bShared, "127.0.0.1"));
    EXPECT_EQ(m_Outcome.sideChanges.back(), "Sharing with the LAN through Loopback");
    EXPECT_TRUE(pService->GetConnection(nLoopback).bSharingEnabled);
}

// Disabling takes a connection's port mappings away even when it is not shared, so an unshare of
// a connection that is not shared asks nothing of the service.
TEST_F(MyNetConnectionTest, unsharingWhatIsNotSharedKeepsItsPortMappings)
{
    auto pService = Service();
    auto dialup = TestConnection(L"My ISP", NCM_PHONE);
    dialup.nPortMappings = 2;
    const int nId = pService->AddConnection(dialup);
    Query();
    VARIANT_BOOL bShared = VARIANT_FALSE;
    CTraceCapture capture;
    EXPECT_TRUE(SetShared(0, bShared));
    EXPECT_EQ(capture.Text(), "CMyNetConnection::SetShared(): not shared, nothing to disable\n");
    EXPECT_EQ(pService->GetConnection(nId).nPortMappings, 2);
    bShared = VARIANT_TRUE;
    ASSERT_TRUE(SetShared(0, bShared));
    bShared = VARIANT_FALSE;
    ASSERT_TRUE(SetShared(0, bShared));
    EXPECT_EQ(pService->GetConnection(nId).nPortMappings, 0);
}

TEST_F(MyNetConnectionTest, sharingASecondDialupUnsharesTheFirst)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"ISP one", NCM_PHONE));
    pService->AddConnection(TestConnection(L"ISP two", NCM_PHONE));
    Query();
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 2);
    VARIANT_BOOL bShared = 1;
    ASSERT_TRUE(SetShared(0, bShared));
    bShared = 1;
    ASSERT_TRUE(SetShared(1, bShared));
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
        EXPECT_FALSE(SetShared(nIndex, bShared)) << nIndex;
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
    EXPECT_EQ(m_Manager.ConnectionCount(), 256);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 0);
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
    EXPECT_EQ(Query(),
              "CMyNetConnection::QueryConnections(): CoCreateInstance failed: 0x80070005\n");
    EXPECT_TRUE(m_bQueried);
    EXPECT_EQ(m_Manager.ConnectionCount(), 0);
    pService->SetCreateResult(S_OK);
    Query();
    EXPECT_EQ(m_Manager.ConnectionCount(), 1);
    // Once made, the manager is kept: later creation failures do not matter.
    pService->SetCreateResult(E_FAIL);
    Query();
    EXPECT_EQ(m_Manager.ConnectionCount(), 1);
}

TEST_F(MyNetConnectionTest, missingCollectionOrEnumeratorFailsTheQuery)
{
    for (const auto fault :
         {CBrokenManager::EFault::NoCollection, CBrokenManager::EFault::NoEnumerator,
          CBrokenManager::EFault::NotAnEnumVariant}) {
        Register(new CBrokenFactory(fault));
        CMyNetConnection manager;
        CTraceCapture capture;
        EXPECT_FALSE(manager.QueryConnections());
        EXPECT_NE(capture.Text().find(" failed: 0x"), std::string::npos) << capture.Text();
        EXPECT_EQ(manager.ConnectionCount(), 0);
        EXPECT_EQ(manager.DialupConnectionCount(), 0);
    }
}

TEST_F(MyNetConnectionTest, secondQueryNumbersTheRemainingConnectionsAfresh)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"A", NCM_LAN));
    const int nRemoved = pService->AddConnection(TestConnection(L"B", NCM_PHONE));
    pService->AddConnection(TestConnection(L"C", NCM_PHONE));
    Query();
    ASSERT_EQ(m_Manager.ConnectionCount(), 3);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 2);
    pService->RemoveConnection(nRemoved);
    Query();
    ASSERT_EQ(m_Manager.ConnectionCount(), 2);
    EXPECT_EQ(m_Manager.DialupConnectionCount(), 1);
    EXPECT_EQ(m_Manager.GetName(0), "A");
    EXPECT_EQ(m_Manager.GetName(1), "C");
    EXPECT_EQ(m_Manager.GetName(2), "");
}

// UTF-8 on every platform: on Windows the programs' manifest makes it the ANSI code page.
TEST_F(MyNetConnectionTest, namesConvertToNarrowText)
{
    auto pService = Service();
    pService->AddConnection(TestConnection(L"Caf\u00e9 link", NCM_PHONE));
    pService->AddConnection(TestConnection(L"", NCM_LAN));
    pService->AddConnection(TestConnection(L"\u0421\u0435\u0442\u044c \u20ac", NCM_LAN));
    Query();
    EXPECT_EQ(m_Manager.GetName(0), "Caf\xc3\xa9 link");
    EXPECT_EQ(m_Manager.GetName(1), "");
    EXPECT_EQ(m_Manager.GetName(2), "\xd0\xa1\xd0\xb5\xd1\x82\xd1\x8c \xe2\x82\xac");
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
    ASSERT_EQ(m_Manager.ConnectionCount(), 5);
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
