// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftRunner.h"

#include "Kernel.h"
#include "NetAdmin.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <nftables/libnftables.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

constexpr std::string_view kPermissionDenied = "Operation not permitted";
constexpr std::string_view kAbsent = "No such file or directory";

void TraceError(const std::string& strError)
{
    std::string strTrace = "CNftRunner::Run(): " + strError;
    if (strTrace.back() != '\n')
        strTrace += '\n';
    OutputDebugStringA(strTrace.c_str());
}

// libnftables ends the whole process when it cannot open its netlink socket (a kernel without
// netfilter's netlink, or qemu's user mode, which does not offer it): the socket is tried here
// first, and the command fails instead.
bool NetfilterReachable(std::string& strError)
{
    const int nFd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_NETFILTER);
    if (nFd < 0) {
        strError = std::strerror(errno);
        return false;
    }
    ::close(nFd);
    return true;
}

} // namespace

CNftRunner::CNftRunner() = default;

CNftRunner::~CNftRunner()
{
    if (m_pContext != nullptr)
        nft_ctx_free(m_pContext);
}

// The context is made with the first command that can reach the kernel: libnftables may open
// its socket as it makes one.
bool CNftRunner::MakeContext()
{
    if (m_pContext != nullptr)
        return true;
    m_pContext = nft_ctx_new(NFT_CTX_DEFAULT);
    if (m_pContext == nullptr)
        return false;
    nft_ctx_buffer_output(m_pContext);
    nft_ctx_buffer_error(m_pContext);
    return true;
}

HRESULT CNftRunner::Run(const std::string& strCommands, EAbsence absence, EOutput output)
{
    // Without the capability the kernel refuses every command, and libnftables then writes its
    // own message to standard error, past its error buffer.
    if (!HasNetAdmin()) {
        m_strError.clear();
        return E_ACCESSDENIED;
    }
    if (!NetfilterReachable(m_strError)) {
        TraceError("the kernel's nftables cannot be reached: " + m_strError);
        return E_FAIL;
    }
    if (!MakeContext())
        return E_OUTOFMEMORY;
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
    TraceError(std::string(error));
    return error.find(kPermissionDenied) != std::string_view::npos ? E_ACCESSDENIED : E_FAIL;
}
