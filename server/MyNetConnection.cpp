// SPDX-License-Identifier: GPL-3.0-or-later
#include "MyNetConnection.h"

#include "Format.h"
#include "Kernel.h"

#include <cstring>
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

} // namespace

CMyNetConnection::CMyNetConnection() : m_nConnections(0), m_nDialupConnections(0) {}

bool CMyNetConnection::QueryConnections()
{
    ReleaseConnections();
    if (!m_pSharingManager) {
        if (m_bServiceReleased)
            return true;
        CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                         m_pSharingManager.PutVoid());
        if (!m_pSharingManager)
            return true;
    }
    m_pSharingManager->get_EnumEveryConnection(m_pEveryConnectionCollection.Put());
    if (!m_pEveryConnectionCollection)
        return false;
    CComPtr<IUnknown> pUnk;
    m_pEveryConnectionCollection->get__NewEnum(pUnk.Put());
    if (!pUnk)
        return false;
    CComPtr<IEnumVARIANT> pEnum;
    pUnk->QueryInterface(IID_IEnumVARIANT, pEnum.PutVoid());
    if (!pEnum)
        return false;
    VARIANT varItem;
    VariantInit(&varItem);
    while (pEnum->Next(1, &varItem, nullptr) == S_OK) {
        CComPtr<INetConnection> pConnection;
        if (varItem.vt == VT_UNKNOWN && varItem.punkVal != nullptr)
            varItem.punkVal->QueryInterface(IID_INetConnection, pConnection.PutVoid());
        VariantClear(&varItem);
        if (!pConnection)
            continue;
        if (m_nConnections == kMaxConnections) {
            OutputDebugStringA("CMyNetConnection::QueryConnections(): More than 256 connections, "
                               "the rest are left out\n");
            break;
        }
        AddConnection(std::move(pConnection));
    }
    return true;
}

void CMyNetConnection::AddConnection(CComPtr<INetConnection> pConnection)
{
    m_pConnections[m_nConnections] = std::move(pConnection);
    m_strTrace =
        FormatText("CMyNetConnection::QueryConnections(): Found connection %d\n", m_nConnections);
    OutputDebugStringA(m_strTrace.c_str());
    m_strTrace =
        FormatText("CMyNetConnection::QueryConnections(): Connection %d is a ", m_nConnections);
    if (MediaTypeOf(PropertiesOf(m_pConnections[m_nConnections].Get())) == NCM_PHONE) {
        m_strTrace += "Dialup\n";
        ++m_nDialupConnections;
    } else {
        m_strTrace += "something else\n";
    }
    OutputDebugStringA(m_strTrace.c_str());
    ++m_nConnections;
}

std::string CMyNetConnection::GetName(int nIndex)
{
    const CComPtr<INetConnectionProps> pNCP = PropertiesAt(nIndex);
    if (!pNCP)
        return std::string();
    BSTR bstrName = nullptr;
    pNCP->get_Name(&bstrName);
    std::string strName = NarrowText(bstrName);
    SysFreeString(bstrName);
    return strName;
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
    INetSharingConfiguration* pConfiguration = FetchConfiguration(nIndex);
    VARIANT_BOOL bShared = VARIANT_FALSE;
    if (pConfiguration != nullptr)
        pConfiguration->get_SharingEnabled(&bShared);
    return bShared;
}

bool CMyNetConnection::SetShared(int nIndex, VARIANT_BOOL& bShared)
{
    m_strRefusal.clear();
    if (!PropertiesAt(nIndex)) {
        OutputDebugStringA("CMyNetConnection::SetShared(): pNCP == NULL\n");
        return false;
    }
    if (GetMediaType(nIndex) != NCM_PHONE) {
        OutputDebugStringA("CMyNetConnection::SetShared(): GetMediaType(nIndex) != NCM_PHONE\n");
        return false;
    }
    INetSharingConfiguration* pConfiguration = FetchConfiguration(nIndex);
    // Without a configuration the service cannot be asked at all.
    if (pConfiguration == nullptr) {
        OutputDebugStringA("CMyNetConnection::SetShared(): pNSC == NULL\n");
        return false;
    }
    HRESULT hr = S_OK;
    // Error information left by an earlier call must not pass for this one's.
    SetErrorInfo(0, nullptr);
    if (bShared != VARIANT_FALSE) {
        SHARINGCONNECTIONTYPE shareType = ICSSHARINGTYPE_PUBLIC;
        pConfiguration->get_SharingConnectionType(&shareType);
        hr = pConfiguration->EnableSharing(shareType);
    } else {
        hr = pConfiguration->DisableSharing();
    }
    TraceHResult(hr);
    // A refusal is a failure, whatever state the service reports after it.
    if (FAILED(hr))
        m_strRefusal = RefusalReason(hr);
    pConfiguration->get_SharingEnabled(&bShared);
    return SUCCEEDED(hr);
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

std::vector<std::string> CMyNetConnection::TakeAdvice()
{
    std::vector<std::string> advice;
    const CComPtr<ITarnlowSharingAdvice> pAdvice = Advice();
    BSTR bstrAdvice = nullptr;
    while (pAdvice && pAdvice->TakeAdvice(&bstrAdvice) == S_OK) {
        advice.push_back(NarrowText(bstrAdvice));
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
    ReleaseConnections();
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
    if (nIndex < 0 || nIndex >= m_nConnections)
        return CComPtr<INetConnectionProps>();
    return PropertiesOf(m_pConnections[nIndex].Get());
}

int CMyNetConnection::MediaTypeOf(const CComPtr<INetConnectionProps>& pNCP)
{
    NETCON_MEDIATYPE mediaType = NCM_NONE;
    return pNCP && SUCCEEDED(pNCP->get_MediaType(&mediaType)) ? mediaType : -1;
}

INetSharingConfiguration* CMyNetConnection::FetchConfiguration(int nIndex)
{
    m_pSharingManager->get_INetSharingConfigurationForINetConnection(
        m_pConnections[nIndex].Get(), m_pSharingConfigurations[nIndex].Put());
    return m_pSharingConfigurations[nIndex].Get();
}

void CMyNetConnection::ReleaseConnections()
{
    for (int i = 0; i < kMaxConnections; ++i) {
        m_pConnections[i].Reset();
        m_pSharingConfigurations[i].Reset();
    }
    m_nConnections = 0;
    m_nDialupConnections = 0;
}
