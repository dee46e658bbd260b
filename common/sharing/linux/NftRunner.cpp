// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftRunner.h"

#include "Kernel.h"
#include "NetAdmin.h"

#include <nftables/libnftables.h>
#include <string_view>

namespace
{

constexpr std::string_view kPermissionDenied = "Operation not permitted";
constexpr std::string_view kAbsent = "No such file or directory";

void TraceError(const char* pszError)
{
    std::string strTrace = "CNftRunner::Run(): ";
    strTrace += pszError != nullptr ? pszError : "";
    if (strTrace.back() != '\n')
        strTrace += '\n';
    OutputDebugStringA(strTrace.c_str());
}

} // namespace

CNftRunner::CNftRunner() : m_pContext(nft_ctx_new(NFT_CTX_DEFAULT))
{
    if (m_pContext != nullptr) {
        nft_ctx_buffer_output(m_pContext);
        nft_ctx_buffer_error(m_pContext);
    }
}

CNftRunner::~CNftRunner()
{
    if (m_pContext != nullptr)
        nft_ctx_free(m_pContext);
}

HRESULT CNftRunner::Run(const std::string& strCommands, EAbsence absence, EOutput output)
{
    if (m_pContext == nullptr)
        return E_OUTOFMEMORY;
    // Without the capability the kernel refuses every command, and libnftables then writes its
    // own message to standard error, past its error buffer.
    if (!HasNetAdmin()) {
        m_strError.clear();
        return E_ACCESSDENIED;
    }
    nft_ctx_output_set_flags(m_pContext, output == EOutput::Json ? NFT_CTX_OUTPUT_JSON : 0);
    const bool bDone = nft_run_cmd_from_buffer(m_pContext, strCommands.c_str()) == 0;
    // Reading the buffers empties them for the next command.
    m_strOutput = nft_ctx_get_output_buffer(m_pContext);
    const std::string_view error = nft_ctx_get_error_buffer(m_pContext);
    m_strError = bDone ? std::string() : std::string(error.substr(0, error.find('\n')));
    if (bDone)
        return S_OK;
    if (absence == EAbsence::Allowed && error.find(kAbsent) != std::string_view::npos)
        return S_FALSE;
    TraceError(error.data());
    return error.find(kPermissionDenied) != std::string_view::npos ? E_ACCESSDENIED : E_FAIL;
}
