// SPDX-License-Identifier: GPL-3.0-or-later
#include "MyNetConnection.h"

#include "AdapterGuid.h"
#include "Format.h"
#include "Kernel.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

namespace
{

std::string NarrowText(BSTR bstrText)
{
    if (bstrText == nullptr)
        return std::string();
    const int nBytes = WideCharToMultiByte(CP_ACP, 0, bstrText, -1, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 1)
        return std::string();
    std::vector<char> cBuffer(static_cast<std::size_t>(nBytes));
    WideCharToMultiByte(CP_ACP, 0, bstrText, -1, cBuffer.data(), nBytes, nullptr, nullptr);
    return std::string(cBuffer.data());
}

bool SameGuid(const std::string& strA, const std::string& strB)
{
    return strA.size() == strB.size() &&
           std::equal(strA.begin(), strA.end(), strB.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

bool CMyNetConnection::QueryConnections()
{
    ReleaseConnections();
    if (!m_pSharingManager) {
        if (m_bServiceReleased)
            return true;
        const HRESULT hr = CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL,
                                            IID_INetSharingManager, m_pSharingManager.PutVoid());
        if (!m_pSharingManager) {
            TraceFailure("QueryConnections", "CoCreateInstance", hr);
            return true;
        }
    }
    return EnumerateConnections("QueryConnections", m_pEveryConnectionCollection,
                                [this](CComPtr<INetConnection> pConnection) {
                                    if (ConnectionCount() == kMaxConnections) {
                                        OutputDebugStringA(
                                            "CMyNetConnection::QueryConnections(): More than 256 "
                                            "connections, the rest are left out\n");
                                        return false;
                                    }
                                    AddConnection(std::move(pConnection));
                                    return true;
                                });
}

bool CMyNetConnection::EnumerateConnections(
    const char* pszOperation, CComPtr<INetSharingEveryConnectionCollection>& pCollection,
    const std::function<bool(CComPtr<INetConnection>)>& visit)
{
    HRESULT hr = m_pSharingManager->get_EnumEveryConnection(pCollection.Put());
    if (!pCollection)
        return TraceFailure(pszOperation, "get_EnumEveryConnection", hr);
    CComPtr<IUnknown> pUnk;
    hr = pCollection->get__NewEnum(pUnk.Put());
    if (!pUnk)
        return TraceFailure(pszOperation, "get__NewEnum", hr);
    CComPtr<IEnumVARIANT> pEnum;
    hr = pUnk->QueryInterface(IID_IEnumVARIANT, pEnum.PutVoid());
    if (!pEnum)
        return TraceFailure(pszOperation, "QueryInterface(IEnumVARIANT)", hr);
    VARIANT varItem;
    VariantInit(&varItem);
    while ((hr = pEnum->Next(1, &varItem, nullptr)) == S_OK) {
        CComPtr<INetConnection> pConnection;
        // The system hands its connections out as VT_UNKNOWN or as VT_DISPATCH.
        if ((varItem.vt == VT_UNKNOWN || varItem.vt == VT_DISPATCH) && varItem.punkVal != nullptr)
            varItem.punkVal->QueryInterface(IID_INetConnection, pConnection.PutVoid());
        VariantClear(&varItem);
        if (pConnection && !visit(std::move(pConnection)))
            return true;
    }
    // The end of the list is S_FALSE; anything else cut it short.
    if (FAILED(hr))
        TraceFailure(pszOperation, "Next", hr);
    return true;
}

std::string CMyNetConnection::DialupConnectionOf(const std::string& strAdapterGuid)
{
    std::string strName;
    if (!m_pSharingManager || strAdapterGuid.empty())
        return strName;
    CComPtr<INetSharingEveryConnectionCollection> pCollection;
    EnumerateConnections(
        "DialupConnectionOf", pCollection, [&](CComPtr<INetConnection> pConnection) {
            const CComPtr<INetConnectionProps> pNCP = PropertiesOf(pConnection.Get());
            BSTR bstrGuid = nullptr;
            if (pNCP)
                pNCP->get_Guid(&bstrGuid);
            const bool bSame = SameGuid(NarrowText(bstrGuid), strAdapterGuid);
            SysFreeString(bstrGuid);
            if (!bSame)
                return true;
            if (MediaTypeOf(pNCP) == NCM_PHONE) {
                BSTR bstrName = nullptr;
                pNCP->get_Name(&bstrName);
                strName = NarrowText(bstrName);
                SysFreeString(bstrName);
            }
            return false;
        });
    return strName;
}

std::vector<CMyNetConnection::SState> CMyNetConnection::ConnectionStates()
{
    std::vector<SState> states;
    if (!m_pSharingManager)
        return states;
    const auto take = [](BSTR bstrText) {
        std::string strText = NarrowText(bstrText);
        SysFreeString(bstrText);
        return strText;
    };
    CComPtr<INetSharingEveryConnectionCollection> pCollection;
    EnumerateConnections("ConnectionStates", pCollection, [&](CComPtr<INetConnection> pConnection) {
        const CComPtr<INetConnectionProps> pNCP = PropertiesOf(pConnection.Get());
        if (!pNCP)
            return true;
        SState state;
        BSTR bstrText = nullptr;
        pNCP->get_Guid(&bstrText);
        state.strGuid = take(std::exchange(bstrText, nullptr));
        pNCP->get_Name(&bstrText);
        state.strName = take(std::exchange(bstrText, nullptr));
        NETCON_STATUS status = NCS_DISCONNECTED;
        state.nStatus = SUCCEEDED(pNCP->get_Status(&status)) ? status : -1;
        state.nMediaType = MediaTypeOf(pNCP);
        VARIANT_BOOL bShared = VARIANT_FALSE;
        if (state.nMediaType == NCM_PHONE)
            if (const CComPtr<INetSharingConfiguration> pConfiguration =
                    ConfigurationOf(pConnection.Get()))
                pConfiguration->get_SharingEnabled(&bShared);
        state.bShared = bShared != VARIANT_FALSE;
        states.push_back(std::move(state));
        return true;
    });
    return states;
}

// A call of the service that fails says where and with what: a query's failure otherwise shows only
// as no connection at all.
bool CMyNetConnection::TraceFailure(const char* pszOperation, const char* pszCall, HRESULT hr)
{
    OutputDebugStringA(FormatText("CMyNetConnection::%s(): %s failed: 0x%08X\n", pszOperation,
                                  pszCall, static_cast<unsigned>(hr))
                           .c_str());
    return false;
}

void CMyNetConnection::AddConnection(CComPtr<INetConnection> pConnection)
{
    const int nIndex = ConnectionCount();
    m_Connections.push_back(std::move(pConnection));
    OutputDebugStringA(
        FormatText("CMyNetConnection::QueryConnections(): Found connection %d\n", nIndex).c_str());
    std::string strTrace =
        FormatText("CMyNetConnection::QueryConnections(): Connection %d is a ", nIndex);
    if (MediaTypeOf(PropertiesOf(m_Connections.back().Get())) == NCM_PHONE) {
        strTrace += "Dialup\n";
        ++m_nDialupConnections;
    } else {
        strTrace += "something else\n";
    }
    OutputDebugStringA(strTrace.c_str());
}

std::string CMyNetConnection::GetName(int nIndex)
{
    return TextAt(nIndex, [](INetConnectionProps* pNCP, BSTR* pbstrText) {
        return pNCP->get_Name(pbstrText);
    });
}

std::string CMyNetConnection::GetGuid(int nIndex)
{
    return TextAt(nIndex, [](INetConnectionProps* pNCP, BSTR* pbstrText) {
        return pNCP->get_Guid(pbstrText);
    });
}

std::string CMyNetConnection::TextAt(int nIndex,
                                     HRESULT (*pRead)(INetConnectionProps* pNCP, BSTR* pbstrText))
{
    const CComPtr<INetConnectionProps> pNCP = PropertiesAt(nIndex);
    if (!pNCP)
        return std::string();
    BSTR bstrText = nullptr;
    pRead(pNCP.Get(), &bstrText);
    std::string strText = NarrowText(bstrText);
    SysFreeString(bstrText);
    return strText;
}

int CMyNetConnection::IndexOf(const std::string& strGuid)
{
    for (int i = 0; !strGuid.empty() && i < ConnectionCount(); ++i)
        if (GetGuid(i) == strGuid)
            return i;
    return -1;
}

int CMyNetConnection::GetMediaType(int nIndex)
{
    return MediaTypeOf(PropertiesAt(nIndex));
}

int CMyNetConnection::GetStatus(int nIndex)
{
    const CComPtr<INetConnectionProps> pNCP = PropertiesAt(nIndex);
    NETCON_STATUS status = NCS_DISCONNECTED;
    return pNCP && SUCCEEDED(pNCP->get_Status(&status)) ? status : -1;
}

VARIANT_BOOL CMyNetConnection::IsShared(int nIndex)
{
    if (!PropertiesAt(nIndex))
        return VARIANT_FALSE;
    if (GetMediaType(nIndex) != NCM_PHONE)
        return VARIANT_FALSE;
    const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationAt(nIndex);
    VARIANT_BOOL bShared = VARIANT_FALSE;
    if (pConfiguration)
        pConfiguration->get_SharingEnabled(&bShared);
    return bShared;
}

CMyNetConnection::SOutcome CMyNetConnection::SetShared(int nIndex, VARIANT_BOOL bShared,
                                                       const std::string& strClientAddress)
{
    SOutcome outcome;
    outcome.bShared = bShared;
    if (!PropertiesAt(nIndex)) {
        OutputDebugStringA("CMyNetConnection::SetShared(): pNCP == NULL\n");
        return outcome;
    }
    if (GetMediaType(nIndex) != NCM_PHONE) {
        OutputDebugStringA("CMyNetConnection::SetShared(): GetMediaType(nIndex) != NCM_PHONE\n");
        return outcome;
    }
    const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationAt(nIndex);
    // Without a configuration the service cannot be asked at all.
    if (!pConfiguration) {
        OutputDebugStringA("CMyNetConnection::SetShared(): pNSC == NULL\n");
        return outcome;
    }
    // Error information left by an earlier call must not pass for this one's.
    SetErrorInfo(0, nullptr);
    const HRESULT hr = bShared != VARIANT_FALSE
                           ? EnableSharing(nIndex, pConfiguration.Get(), strClientAddress, outcome)
                           : DisableSharing(pConfiguration.Get(), outcome);
    // A refusal is a failure, whatever state the service reports after it.
    if (FAILED(hr) && outcome.strRefusal.empty())
        outcome.strRefusal = RefusalReason(hr);
    pConfiguration->get_SharingEnabled(&outcome.bShared);
    outcome.bDone = SUCCEEDED(hr);
    return outcome;
}

HRESULT CMyNetConnection::EnableSharing(int nIndex, INetSharingConfiguration* pConfiguration,
                                        const std::string& strClientAddress, SOutcome& outcome)
{
    int nPrivate = -1;
    if (NeedsPrivateSide()) {
        nPrivate = ChoosePrivateSide(nIndex, strClientAddress);
        if (nPrivate < 0) {
            OutputDebugStringA("CMyNetConnection::SetShared(): no private side\n");
            outcome.strRefusal = "there is no LAN connection to share with";
            return E_FAIL;
        }
    }
    VARIANT_BOOL bWasShared = VARIANT_FALSE;
    pConfiguration->get_SharingEnabled(&bWasShared);
    const std::vector<int> otherPublic = PublicConnectionsBut(nIndex);
    // The dial-up connection is the public side, whatever type it reports before it is shared.
    HRESULT hr = pConfiguration->EnableSharing(ICSSHARINGTYPE_PUBLIC);
    TraceHResult(hr);
    if (SUCCEEDED(hr))
        SayWhatIsNoLongerShared(otherPublic, outcome);
    if (FAILED(hr) || nPrivate < 0)
        return hr;
    hr = EnablePrivateSide(nPrivate, outcome);
    // Half a sharing gets no one out: a public side that this share enabled goes again.
    if (FAILED(hr)) {
        outcome.strRefusal = RefusalReason(hr);
        if (bWasShared == VARIANT_FALSE)
            pConfiguration->DisableSharing();
    }
    return hr;
}

HRESULT CMyNetConnection::DisableSharing(INetSharingConfiguration* pConfiguration,
                                         SOutcome& outcome)
{
    // On the system's service, disabling takes the connection's port mappings away even when it
    // is not shared. A service of our own (it gives its advice) is always asked: it forgets a
    // sharing that it keeps or remembers while the kernel shows it undone.
    VARIANT_BOOL bEnabled = VARIANT_FALSE;
    pConfiguration->get_SharingEnabled(&bEnabled);
    if (bEnabled == VARIANT_FALSE && !Advice()) {
        OutputDebugStringA("CMyNetConnection::SetShared(): not shared, nothing to disable\n");
        return S_OK;
    }
    const HRESULT hr = pConfiguration->DisableSharing();
    TraceHResult(hr);
    if (SUCCEEDED(hr))
        DisablePrivateSide(outcome);
    return hr;
}

// The connections other than this one that are shared as the public side.
std::vector<int> CMyNetConnection::PublicConnectionsBut(int nIndex)
{
    std::vector<int> shared;
    for (int i = 0; i < ConnectionCount(); ++i) {
        if (i == nIndex)
            continue;
        const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationAt(i);
        VARIANT_BOOL bEnabled = VARIANT_FALSE;
        SHARINGCONNECTIONTYPE type = ICSSHARINGTYPE_PRIVATE;
        if (pConfiguration && SUCCEEDED(pConfiguration->get_SharingEnabled(&bEnabled)) &&
            bEnabled != VARIANT_FALSE &&
            SUCCEEDED(pConfiguration->get_SharingConnectionType(&type)) &&
            type == ICSSHARINGTYPE_PUBLIC)
            shared.push_back(i);
    }
    return shared;
}

// One connection is shared at a time: the service ends another's sharing by itself, and the Log
// says so.
void CMyNetConnection::SayWhatIsNoLongerShared(const std::vector<int>& wasPublic, SOutcome& outcome)
{
    for (const int i : wasPublic) {
        const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationAt(i);
        VARIANT_BOOL bEnabled = VARIANT_TRUE;
        if (pConfiguration && SUCCEEDED(pConfiguration->get_SharingEnabled(&bEnabled)) &&
            bEnabled == VARIANT_FALSE)
            outcome.sideChanges.push_back(
                GetName(i) + " is no longer shared: one connection is shared at a time");
    }
}

// A service that needs a private side lists its private connections; one without them (ours on
// Linux) does not implement the list.
bool CMyNetConnection::NeedsPrivateSide()
{
    CComPtr<INetSharingPrivateConnectionCollection> pPrivate;
    const HRESULT hr = m_pSharingManager->get_EnumPrivateConnections(ICSSC_DEFAULT, pPrivate.Put());
    if (FAILED(hr) || !pPrivate) {
        if (hr != E_NOTIMPL)
            TraceFailure("SetShared", "get_EnumPrivateConnections", hr);
        return false;
    }
    long nCount = 0;
    pPrivate->get_Count(&nCount);
    return nCount == 0;
}

int CMyNetConnection::ChoosePrivateSide(int nPublic, const std::string& strClientAddress)
{
    const std::string strGuid =
        strClientAddress.empty() ? std::string() : AdapterGuidOf(strClientAddress);
    int nOnlyConnected = -1;
    int nConnected = 0;
    for (int i = 0; i < ConnectionCount(); ++i) {
        const CComPtr<INetConnectionProps> pNCP = PropertiesAt(i);
        if (i == nPublic || MediaTypeOf(pNCP) != NCM_LAN)
            continue;
        BSTR bstrGuid = nullptr;
        pNCP->get_Guid(&bstrGuid);
        const std::string strConnectionGuid = NarrowText(bstrGuid);
        SysFreeString(bstrGuid);
        if (!strGuid.empty() && SameGuid(strGuid, strConnectionGuid))
            return i;
        NETCON_STATUS status = NCS_DISCONNECTED;
        if (SUCCEEDED(pNCP->get_Status(&status)) && status == NCS_CONNECTED) {
            nOnlyConnected = i;
            ++nConnected;
        }
    }
    return nConnected == 1 ? nOnlyConnected : -1;
}

HRESULT CMyNetConnection::EnablePrivateSide(int nPrivate, SOutcome& outcome)
{
    const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationAt(nPrivate);
    if (!pConfiguration)
        return E_FAIL;
    OutputDebugStringA(
        FormatText("CMyNetConnection::SetShared(): Enabling connection %d as the private side\n",
                   nPrivate)
            .c_str());
    const HRESULT hr = pConfiguration->EnableSharing(ICSSHARINGTYPE_PRIVATE);
    TraceHResult(hr);
    if (FAILED(hr))
        return hr;
    m_Connections[nPrivate]->QueryInterface(IID_INetConnection, m_pPrivateSide.PutVoid());
    m_strPrivateSideName = GetName(nPrivate);
    // Windows gives the private side an address of its own, so the client that asked may lose
    // the server: the Log says so first, and the address watch then says where it went.
    outcome.sideChanges.push_back(m_strPrivateSideName +
                                  " becomes the LAN side, and Windows gives it a new address");
    outcome.sideChanges.push_back("Sharing with the LAN through " + m_strPrivateSideName);
    return hr;
}

void CMyNetConnection::DisablePrivateSide(SOutcome& outcome)
{
    if (!m_pPrivateSide)
        return;
    const CComPtr<INetSharingConfiguration> pConfiguration = ConfigurationOf(m_pPrivateSide.Get());
    VARIANT_BOOL bEnabled = VARIANT_FALSE;
    if (pConfiguration)
        pConfiguration->get_SharingEnabled(&bEnabled);
    if (bEnabled != VARIANT_FALSE) {
        OutputDebugStringA("CMyNetConnection::SetShared(): Disabling the private side\n");
        const HRESULT hr = pConfiguration->DisableSharing();
        TraceHResult(hr);
        if (SUCCEEDED(hr))
            outcome.sideChanges.push_back("No longer sharing with the LAN through " +
                                          m_strPrivateSideName);
    }
    m_pPrivateSide.Reset();
    m_strPrivateSideName.clear();
}

CComPtr<INetSharingConfiguration> CMyNetConnection::ConfigurationOf(INetConnection* pConnection)
{
    CComPtr<INetSharingConfiguration> pConfiguration;
    m_pSharingManager->get_INetSharingConfigurationForINetConnection(pConnection,
                                                                     pConfiguration.Put());
    return pConfiguration;
}

// The service's own words when it leaves them, else the system's message for the code.
std::string CMyNetConnection::RefusalReason(HRESULT hr)
{
    CComPtr<IErrorInfo> pInfo;
    if (GetErrorInfo(0, pInfo.Put()) == S_OK && pInfo) {
        BSTR bstrDescription = nullptr;
        pInfo->GetDescription(&bstrDescription);
        std::string strDescription = NarrowText(bstrDescription);
        SysFreeString(bstrDescription);
        if (!strDescription.empty())
            return strDescription;
    }
    char cMessage[512];
    const DWORD dwLength =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(hr), 0, cMessage, sizeof cMessage, nullptr);
    std::string strReason = dwLength > 0 ? std::string(cMessage, dwLength)
                                         : FormatText("error 0x%08X", static_cast<unsigned>(hr));
    // The system's messages are sentences of their own; here they end the log's.
    while (!strReason.empty() && std::strchr(" .\r\n", strReason.back()) != nullptr)
        strReason.pop_back();
    // Without a word from the service, access is what an administrator grants.
    if (hr == E_ACCESSDENIED)
        strReason += "; the server must run as an administrator";
    return strReason;
}

void CMyNetConnection::SetClientPort(int nPort)
{
    if (const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice())
        pAdvice->SetClientPort(nPort);
}

void CMyNetConnection::SetAdviceEvent(HANDLE hEvent)
{
    if (const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice())
        pAdvice->SetAdviceEvent(hEvent);
}

void CMyNetConnection::BeginReading()
{
    if (const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice())
        pAdvice->BeginReading();
}

void CMyNetConnection::EndReading()
{
    if (const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice())
        pAdvice->EndReading();
}

std::vector<CMyNetConnection::SAdvice> CMyNetConnection::TakeAdvice()
{
    std::vector<SAdvice> advice;
    const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice();
    BSTR bstrAdvice = nullptr;
    BOOL bWarning = TRUE;
    while (pAdvice && pAdvice->TakeAdvice(&bstrAdvice, &bWarning) == S_OK) {
        advice.push_back({NarrowText(bstrAdvice), bWarning != FALSE});
        SysFreeString(bstrAdvice);
        bstrAdvice = nullptr;
    }
    return advice;
}

CComPtr<ITarnlowSharingAdvice> CMyNetConnection::Advice() const
{
    CComPtr<ITarnlowSharingAdvice> pAdvice;
    if (m_pSharingManager)
        m_pSharingManager->QueryInterface(IID_ITarnlowSharingAdvice, pAdvice.PutVoid());
    return pAdvice;
}

void CMyNetConnection::ReleaseService()
{
    // The service may outlive the server: it must not set the server's event once it is gone.
    SetAdviceEvent(nullptr);
    ReleaseConnections();
    m_pPrivateSide.Reset();
    m_pEveryConnectionCollection.Reset();
    m_pSharingManager.Reset();
    m_bServiceReleased = true;
}

void CMyNetConnection::TraceHResult(HRESULT hr)
{
    switch (hr) {
    case S_OK:
        OutputDebugStringA("Success\n");
        break;
    case E_NOTIMPL:
        OutputDebugStringA("A specified method is not implemented.\n");
        break;
    case E_NOINTERFACE:
        OutputDebugStringA("A specified interface is not supported.\n");
        break;
    case E_POINTER:
        OutputDebugStringA("A pointer passed as a parameter is not valid.\n");
        break;
    case E_ABORT:
        OutputDebugStringA("The operation was aborted.\n");
        break;
    case E_FAIL:
        OutputDebugStringA("An unspecified error occurred.\n");
        break;
    case E_UNEXPECTED:
        OutputDebugStringA("The method failed for unknown reasons.\n");
        break;
    case E_OUTOFMEMORY:
        OutputDebugStringA("The method was unable to allocate required memory.\n");
        break;
    case E_INVALIDARG:
        OutputDebugStringA("One of the parameters is invalid.\n");
        break;
    default:
        OutputDebugStringA("Unhandled condition.\n");
        break;
    }
}

CComPtr<INetConnectionProps> CMyNetConnection::PropertiesOf(INetConnection* pConnection)
{
    CComPtr<INetConnectionProps> pNCP;
    if (pConnection != nullptr && m_pSharingManager)
        m_pSharingManager->get_NetConnectionProps(pConnection, pNCP.Put());
    return pNCP;
}

CComPtr<INetConnectionProps> CMyNetConnection::PropertiesAt(int nIndex)
{
    if (nIndex < 0 || nIndex >= ConnectionCount())
        return CComPtr<INetConnectionProps>();
    return PropertiesOf(m_Connections[nIndex].Get());
}

int CMyNetConnection::MediaTypeOf(const CComPtr<INetConnectionProps>& pNCP)
{
    NETCON_MEDIATYPE mediaType = NCM_NONE;
    return pNCP && SUCCEEDED(pNCP->get_MediaType(&mediaType)) ? mediaType : -1;
}

// Each question fetches the configuration afresh: a connection's may change between two.
CComPtr<INetSharingConfiguration> CMyNetConnection::ConfigurationAt(int nIndex)
{
    return ConfigurationOf(m_Connections[nIndex].Get());
}

void CMyNetConnection::ReleaseConnections()
{
    m_Connections.clear();
    m_nDialupConnections = 0;
}
