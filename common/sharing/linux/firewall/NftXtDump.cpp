// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftXtDump.h"

#include <ctime>
#include <libmnl/libmnl.h>
#include <libnftnl/expr.h>
#include <libnftnl/rule.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nf_tables.h>
#include <memory>

namespace
{

struct SMnlSocketDeleter {
    void operator()(mnl_socket* pSocket) const { mnl_socket_close(pSocket); }
};
struct SRuleDeleter {
    void operator()(nftnl_rule* pRule) const { nftnl_rule_free(pRule); }
};
struct SIterDeleter {
    void operator()(nftnl_expr_iter* pIter) const { nftnl_expr_iter_destroy(pIter); }
};

const char* FamilyName(unsigned nFamily)
{
    switch (nFamily) {
    case NFPROTO_IPV4:
        return "ip";
    case NFPROTO_INET:
        return "inet";
    default:
        return nullptr;
    }
}

bool ReadXt(nftnl_expr* pExpr, CNftXtDump::SXtData& xt)
{
    const char* pszKind = nftnl_expr_get_str(pExpr, NFTNL_EXPR_NAME);
    const std::string strKind = pszKind != nullptr ? pszKind : "";
    xt.bTarget = strKind == "target";
    if (strKind != "match" && !xt.bTarget)
        return false;
    // A target's attributes are numbered as a match's are, in an enumeration of their own.
    const auto attribute = [&xt](int nMatch, int nTarget) {
        return static_cast<uint16_t>(xt.bTarget ? nTarget : nMatch);
    };
    const char* pszName =
        nftnl_expr_get_str(pExpr, attribute(NFTNL_EXPR_MT_NAME, NFTNL_EXPR_TG_NAME));
    xt.strName = pszName != nullptr ? pszName : "";
    xt.nRevision = static_cast<int>(
        nftnl_expr_get_u32(pExpr, attribute(NFTNL_EXPR_MT_REV, NFTNL_EXPR_TG_REV)));
    uint32_t nLength = 0;
    const auto* pData = static_cast<const unsigned char*>(
        nftnl_expr_get(pExpr, attribute(NFTNL_EXPR_MT_INFO, NFTNL_EXPR_TG_INFO), &nLength));
    if (pData != nullptr)
        xt.Data.assign(pData, pData + nLength);
    return true;
}

int OnRule(const nlmsghdr* pMessage, void* pContext)
{
    auto& xtMap = *static_cast<CNftXtDump::XtMap*>(pContext);
    const std::unique_ptr<nftnl_rule, SRuleDeleter> pRule(nftnl_rule_alloc());
    if (!pRule || nftnl_rule_nlmsg_parse(pMessage, pRule.get()) < 0)
        return MNL_CB_OK;
    const char* pszFamily = FamilyName(nftnl_rule_get_u32(pRule.get(), NFTNL_RULE_FAMILY));
    const char* pszTable = nftnl_rule_get_str(pRule.get(), NFTNL_RULE_TABLE);
    const char* pszChain = nftnl_rule_get_str(pRule.get(), NFTNL_RULE_CHAIN);
    if (pszFamily == nullptr || pszTable == nullptr || pszChain == nullptr)
        return MNL_CB_OK;
    std::vector<CNftXtDump::SXtData> xts;
    const std::unique_ptr<nftnl_expr_iter, SIterDeleter> pIter(nftnl_expr_iter_create(pRule.get()));
    for (nftnl_expr* pExpr = pIter ? nftnl_expr_iter_next(pIter.get()) : nullptr; pExpr != nullptr;
         pExpr = nftnl_expr_iter_next(pIter.get())) {
        CNftXtDump::SXtData xt;
        if (ReadXt(pExpr, xt))
            xts.push_back(std::move(xt));
    }
    if (!xts.empty())
        xtMap[CNftXtDump::Key(pszFamily, pszTable, pszChain,
                              nftnl_rule_get_u64(pRule.get(), NFTNL_RULE_HANDLE))] = std::move(xts);
    return MNL_CB_OK;
}

// The kernel fills a dump's parts as large as the reader's buffer, up to 32 KiB.
constexpr std::size_t kDumpBufferSize = 32768;

unsigned FamilyNumber(const std::string& strFamily)
{
    return strFamily == "ip" ? NFPROTO_IPV4 : strFamily == "inet" ? NFPROTO_INET : NFPROTO_UNSPEC;
}

// Asks for the rules of one chain, or of every chain without one.
nlmsghdr* BuildRequest(char* pBuffer, const CNftXtDump::SChain* pChain, uint32_t nSequence)
{
    nlmsghdr* pRequest =
        nftnl_nlmsg_build_hdr(pBuffer, NFT_MSG_GETRULE,
                              pChain != nullptr ? FamilyNumber(pChain->strFamily) : NFPROTO_UNSPEC,
                              NLM_F_DUMP | NLM_F_ACK, nSequence);
    if (pChain == nullptr)
        return pRequest;
    const std::unique_ptr<nftnl_rule, SRuleDeleter> pFilter(nftnl_rule_alloc());
    if (!pFilter)
        return nullptr;
    nftnl_rule_set_str(pFilter.get(), NFTNL_RULE_TABLE, pChain->strTable.c_str());
    nftnl_rule_set_str(pFilter.get(), NFTNL_RULE_CHAIN, pChain->strChain.c_str());
    nftnl_rule_nlmsg_build_payload(pRequest, pFilter.get());
    return pRequest;
}

void Dump(const CNftXtDump::SChain* pChain, CNftXtDump::XtMap& xtMap)
{
    const std::unique_ptr<mnl_socket, SMnlSocketDeleter> pSocket(
        mnl_socket_open(NETLINK_NETFILTER));
    if (!pSocket || mnl_socket_bind(pSocket.get(), 0, MNL_SOCKET_AUTOPID) < 0)
        return;
    std::vector<char> buffer(kDumpBufferSize);
    const auto nSequence = static_cast<uint32_t>(std::time(nullptr));
    const nlmsghdr* pRequest = BuildRequest(buffer.data(), pChain, nSequence);
    if (pRequest == nullptr || mnl_socket_sendto(pSocket.get(), pRequest, pRequest->nlmsg_len) < 0)
        return;
    const unsigned nPort = mnl_socket_get_portid(pSocket.get());
    for (;;) {
        const ssize_t nRead = mnl_socket_recvfrom(pSocket.get(), buffer.data(), buffer.size());
        if (nRead <= 0 ||
            mnl_cb_run(buffer.data(), nRead, nSequence, nPort, OnRule, &xtMap) <= MNL_CB_STOP)
            break;
    }
}

} // namespace

std::string CNftXtDump::Key(const std::string& strFamily, const std::string& strTable,
                            const std::string& strChain, unsigned long long nHandle)
{
    return strFamily + " " + strTable + " " + strChain + " " + std::to_string(nHandle);
}

CNftXtDump::XtMap CNftXtDump::Read()
{
    XtMap xtMap;
    Dump(nullptr, xtMap);
    return xtMap;
}

CNftXtDump::XtMap CNftXtDump::Read(const std::vector<SChain>& chains)
{
    XtMap xtMap;
    for (const SChain& chain : chains)
        Dump(&chain, xtMap);
    return xtMap;
}
