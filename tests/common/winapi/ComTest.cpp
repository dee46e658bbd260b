// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComObject.h"
#include "Kernel.h"
#include "MemorySharingService.h"
#include "RegisteredService.h"
#include "TestPlatform.h"

#include <gtest/gtest.h>

namespace
{

struct SThreadResult {
    HRESULT hr = E_UNEXPECTED;
};

DWORD CreateManagerOnThread(LPVOID pParameter)
{
    INetSharingManager* pManager = nullptr;
    static_cast<SThreadResult*>(pParameter)->hr =
        CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                         reinterpret_cast<void**>(&pManager));
    if (pManager != nullptr)
        pManager->Release();
    return 0;
}

HRESULT CreateOnOtherThread()
{
    SThreadResult result;
    const HANDLE hThread = CreateThread(nullptr, 0, CreateManagerOnThread, &result, 0, nullptr);
    WaitForSingleObject(hThread, 5000);
    CloseHandle(hThread);
    return result.hr;
}

class CCountingObject : public CComObject<IUnknown>
{
public:
    explicit CCountingObject(bool& bDestroyed) : CComObject(IID_IUnknown), m_bDestroyed(bDestroyed)
    {
    }
    ~CCountingObject() override { m_bDestroyed = true; }

private:
    bool& m_bDestroyed;
};

} // namespace

// The apartment is process-wide, so its whole life is one test.
TEST(ComTest, creationNeedsTheMultithreadedApartmentAndAnyThreadMayUseIt)
{
    if (UnderWine())
        GTEST_SKIP() << "Wine has no NetSharingManager and does not check COM security's order";
    INetSharingManager* pManager = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                               reinterpret_cast<void**>(&pManager)),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(pManager, nullptr);
    EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr),
              CO_E_NOTINITIALIZED);

    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr),
              S_OK);
    EXPECT_EQ(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr),
              RPC_E_TOO_LATE);

    {
        const CRegisteredService registration(CMemorySharingService::Create());
        EXPECT_EQ(CreateOnOtherThread(), S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_LOCAL_SERVER,
                                   IID_INetSharingManager, reinterpret_cast<void**>(&pManager)),
                  REGDB_E_CLASSNOTREG);
        EXPECT_EQ(CoCreateInstance(IID_IUnknown, nullptr, CLSCTX_ALL, IID_IUnknown,
                                   reinterpret_cast<void**>(&pManager)),
                  REGDB_E_CLASSNOTREG);
    }

    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CreateOnOtherThread(), CO_E_NOTINITIALIZED);
}

TEST(ComRegistrationTest, registeredClassObjectServesUntilRevoked)
{
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    auto pService = CMemorySharingService::Create();
    pService->SetCreateResult(E_ACCESSDENIED);
    IUnknown* pFactory = nullptr;
    ASSERT_EQ(pService->GetClassObject(IID_IClassFactory, reinterpret_cast<void**>(&pFactory)),
              S_OK);
    DWORD dwCookie = 0;
    ASSERT_EQ(CoRegisterClassObject(CLSID_NetSharingManager, pFactory, CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &dwCookie),
              S_OK);
    pFactory->Release();
    INetSharingManager* pManager = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                               reinterpret_cast<void**>(&pManager)),
              E_ACCESSDENIED);
    EXPECT_EQ(pManager, nullptr);
    EXPECT_EQ(CoRevokeClassObject(dwCookie), S_OK);
    EXPECT_TRUE(FAILED(CoRevokeClassObject(dwCookie)));
    CoUninitialize();
}

// Our COM knows only what is registered: a registration over another serves until it is revoked,
// then the one beneath serves again; with none, there is no class.
TEST(ComRegistrationTest, afterRevocationTheRegistrationBeneathServes)
{
    if (!kOwnPlatformLayer)
        GTEST_SKIP() << "registrations over one another are our layer's";
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    INetSharingManager* pManager = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                               reinterpret_cast<void**>(&pManager)),
              REGDB_E_CLASSNOTREG);
    {
        const CRegisteredService beneath(CMemorySharingService::Create());
        auto pRefusing = CMemorySharingService::Create();
        pRefusing->SetCreateResult(E_ACCESSDENIED);
        auto pAbove = std::make_unique<CRegisteredService>(pRefusing);
        EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL,
                                   IID_INetSharingManager, reinterpret_cast<void**>(&pManager)),
                  E_ACCESSDENIED);
        pAbove.reset();
        EXPECT_EQ(CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL,
                                   IID_INetSharingManager, reinterpret_cast<void**>(&pManager)),
                  S_OK);
        ASSERT_NE(pManager, nullptr);
        pManager->Release();
    }
    CoUninitialize();
}

TEST(ComValuesTest, bstrKnowsItsLength)
{
    BSTR bstr = SysAllocString(L"My ISP");
    ASSERT_NE(bstr, nullptr);
    EXPECT_EQ(SysStringLen(bstr), 6u);
    EXPECT_STREQ(bstr, L"My ISP");
    SysFreeString(bstr);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
}

TEST(ComValuesTest, variantClearReleasesItsObject)
{
    bool bDestroyed = false;
    VARIANT var;
    VariantInit(&var);
    EXPECT_EQ(var.vt, VT_EMPTY);
    var.vt = VT_UNKNOWN;
    var.punkVal = new CCountingObject(bDestroyed);
    EXPECT_EQ(VariantClear(&var), S_OK);
    EXPECT_TRUE(bDestroyed);
    EXPECT_EQ(var.vt, VT_EMPTY);
}

TEST(ComValuesTest, objectAnswersOnlyItsOwnInterfaces)
{
    bool bDestroyed = false;
    auto* pObject = new CCountingObject(bDestroyed);
    IUnknown* pUnknown = nullptr;
    EXPECT_EQ(pObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)), S_OK);
    EXPECT_EQ(pUnknown, pObject);
    void* pOther = &bDestroyed;
    EXPECT_EQ(pObject->QueryInterface(IID_INetConnection, &pOther), E_NOINTERFACE);
    EXPECT_EQ(pOther, nullptr);
    EXPECT_EQ(pObject->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(pUnknown->Release(), 1u);
    EXPECT_FALSE(bDestroyed);
    EXPECT_EQ(pObject->Release(), 0u);
    EXPECT_TRUE(bDestroyed);
}
