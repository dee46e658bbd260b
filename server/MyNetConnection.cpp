#include "MyNetConnection.h"

#include "Format.h"
#include "Kernel.h"

#include <vector>

namespace
{

template <typename TInterface>
void ReleaseAndClear(TInterface*& pInterface)
{
    if (pInterface != nullptr)
        pInterface->Release();
    pInterface = nullptr;
}

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

CMyNetConnection::CMyNetConnection()
    : m_pSharingManager(nullptr),
      m_pEveryConnectionCollection(nullptr), m_pConnections{}, m_pSharingConfigurations{},
      m_nConnections(0), m_nDialupConnections(0)
{
}

CMyNetConnection::~CMyNetConnection()
{
    ReleaseConnections();
    ReleaseAndClear(m_pEveryConnectionCollection);
    ReleaseAndClear(m_pSharingManager);
}

bool CMyNetConnection::QueryConnections()
{
    ReleaseConnections();
    if (m_pSharingManager == nullptr) {
        CoCreateInstance(CLSID_NetSharingManager, nullptr, CLSCTX_ALL, IID_INetSharingManager,
                         reinterpret_cast<void**>(&m_pSharingManager));
        if (m_pSharingManager == nullptr)
            return true;
    }
    ReleaseAndClear(m_pEveryConnectionCollection);
    m_pSharingManager->get_EnumEveryConnection(&m_pEveryConnectionCollection);
    if (m_pEveryConnectionCollection == nullptr)
        return false;
    IUnknown* pUnk = nullptr;
    m_pEveryConnectionCollection->get__NewEnum(&pUnk);
    if (pUnk == nullptr)
        return false;
    IEnumVARIANT* pEnum = nullptr;
    pUnk->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&pEnum));
    pUnk->Release();
    if (pEnum == nullptr)
        return false;
    VARIANT varItem;
    VariantInit(&varItem);
    while (pEnum->Next(1, &varItem, nullptr) == S_OK) {
        INetConnection* pConnection = nullptr;
        if (varItem.vt == VT_UNKNOWN && varItem.punkVal != nullptr)
            varItem.punkVal->QueryInterface(IID_INetConnection,
                                            reinterpret_cast<void**>(&pConnection));
        VariantClear(&varItem);
        if (pConnection == nullptr)
            continue;
        if (m_nConnections == kMaxConnections) {
            pConnection->Release();
            OutputDebugStringA("CMyNetConnection::QueryConnections(): More than 256 connections, "
                               "the rest are left out\n");
            break;
        }
        AddConnection(pConnection);
    }
    pEnum->Release();
    return true;
}

void CMyNetConnection::AddConnection(INetConnection* pConnection)
{
    m_pConnections[m_nConnections] = pConnection;
    m_strTrace =
        FormatText("CMyNetConnection::QueryConnections(): Found connection %d\n", m_nConnections);
    OutputDebugStringA(m_strTrace.c_str());
    m_strTrace =
        FormatText("CMyNetConnection::QueryConnections(): Connection %d is a ", m_nConnections);
    if (MediaTypeOf(pConnection) == NCM_PHONE) {
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
    INetConnectionProps* pNCP = PropertiesOf(ConnectionAt(nIndex));
    if (pNCP == nullptr)
        return std::string();
    std::string strName = NameOf(pNCP);
    pNCP->Release();
    return strName;
}

int CMyNetConnection::GetMediaType(int nIndex)
{
    return MediaTypeOf(ConnectionAt(nIndex));
}

int CMyNetConnection::GetStatus(int nIndex)
{
    INetConnectionProps* pNCP = PropertiesOf(ConnectionAt(nIndex));
    if (pNCP == nullptr)
        return -1;
    const int nStatus = StatusOf(pNCP);
    pNCP->Release();
    return nStatus;
}

VARIANT_BOOL CMyNetConnection::IsShared(int nIndex)
{
    INetConnectionProps* pNCP = PropertiesOf(ConnectionAt(nIndex));
    if (pNCP == nullptr)
        return VARIANT_FALSE;
    pNCP->Release();
    return SharingOf(nIndex, GetMediaType(nIndex));
}

CMyNetConnection::SConnectionState CMyNetConnection::Describe(int nIndex)
{
    SConnectionState state;
    INetConnectionProps* pNCP = PropertiesOf(ConnectionAt(nIndex));
    if (pNCP == nullptr)
        return state;
    state.strName = NameOf(pNCP);
    state.nMediaType = MediaTypeOf(pNCP);
    state.nStatus = StatusOf(pNCP);
    pNCP->Release();
    state.bShared = SharingOf(nIndex, state.nMediaType);
    return state;
}

VARIANT_BOOL CMyNetConnection::SharingOf(int nIndex, int nMediaType)
{
    if (nMediaType != NCM_PHONE)
        return VARIANT_FALSE;
    INetSharingConfiguration* pConfiguration = FetchConfiguration(nIndex);
    VARIANT_BOOL bShared = VARIANT_FALSE;
    if (pConfiguration != nullptr)
        pConfiguration->get_SharingEnabled(&bShared);
    return bShared;
}

bool CMyNetConnection::SetShared(int nIndex, VARIANT_BOOL& bShared)
{
    INetConnectionProps* pNCP = PropertiesOf(ConnectionAt(nIndex));
    if (pNCP == nullptr) {
        OutputDebugStringA("CMyNetConnection::SetShared(): pNCP == NULL\n");
        return false;
    }
    pNCP->Release();
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
    if (bShared != VARIANT_FALSE) {
        SHARINGCONNECTIONTYPE shareType = ICSSHARINGTYPE_PUBLIC;
        pConfiguration->get_SharingConnectionType(&shareType);
        hr = pConfiguration->EnableSharing(shareType);
    } else {
        hr = pConfiguration->DisableSharing();
    }
    TraceHResult(hr);
    pConfiguration->get_SharingEnabled(&bShared);
    return true;
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

INetConnection* CMyNetConnection::ConnectionAt(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nConnections)
        return nullptr;
    return m_pConnections[nIndex];
}

INetConnectionProps* CMyNetConnection::PropertiesOf(INetConnection* pConnection)
{
    if (pConnection == nullptr || m_pSharingManager == nullptr)
        return nullptr;
    INetConnectionProps* pNCP = nullptr;
    m_pSharingManager->get_NetConnectionProps(pConnection, &pNCP);
    return pNCP;
}

int CMyNetConnection::MediaTypeOf(INetConnection* pConnection)
{
    INetConnectionProps* pNCP = PropertiesOf(pConnection);
    if (pNCP == nullptr)
        return -1;
    const int nMediaType = MediaTypeOf(pNCP);
    pNCP->Release();
    return nMediaType;
}

std::string CMyNetConnection::NameOf(INetConnectionProps* pNCP)
{
    BSTR bstrName = nullptr;
    pNCP->get_Name(&bstrName);
    std::string strName = NarrowText(bstrName);
    SysFreeString(bstrName);
    return strName;
}

int CMyNetConnection::MediaTypeOf(INetConnectionProps* pNCP)
{
    NETCON_MEDIATYPE mediaType = NCM_NONE;
    return SUCCEEDED(pNCP->get_MediaType(&mediaType)) ? mediaType : -1;
}

int CMyNetConnection::StatusOf(INetConnectionProps* pNCP)
{
    NETCON_STATUS status = NCS_DISCONNECTED;
    return SUCCEEDED(pNCP->get_Status(&status)) ? status : -1;
}

INetSharingConfiguration* CMyNetConnection::FetchConfiguration(int nIndex)
{
    ReleaseAndClear(m_pSharingConfigurations[nIndex]);
    m_pSharingManager->get_INetSharingConfigurationForINetConnection(
        m_pConnections[nIndex], &m_pSharingConfigurations[nIndex]);
    return m_pSharingConfigurations[nIndex];
}

void CMyNetConnection::ReleaseConnections()
{
    for (int i = 0; i < kMaxConnections; ++i) {
        ReleaseAndClear(m_pConnections[i]);
        ReleaseAndClear(m_pSharingConfigurations[i]);
    }
    m_nConnections = 0;
    m_nDialupConnections = 0;
}
