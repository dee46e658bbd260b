// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftSharingTable.h"

#include "Kernel.h"

#include <algorithm>
#include <cctype>
#include <nftables/libnftables.h>
#include <sstream>
#include <string_view>

namespace
{

constexpr std::string_view kTable = "ip tarnlow";
constexpr std::string_view kCommentPrefix = "Tarnlow Server; IPv4 forwarding was ";
constexpr std::string_view kForwardingOn = "on";
constexpr std::string_view kForwardingOff = "off";
// The kernel's longest interface name (IFNAMSIZ less its NUL).
constexpr std::size_t kMaxInterfaceName = 15;

constexpr std::string_view kPermissionDenied = "Operation not permitted";
constexpr std::string_view kAbsent = "No such file or directory";

// The text between the first pair of quotes that follows the prefix at the start of the line.
bool QuotedAfter(std::string_view line, std::string_view prefix, std::string_view suffix,
                 std::string& strQuoted)
{
    if (!line.starts_with(prefix) || !line.ends_with(suffix) ||
        line.size() < prefix.size() + suffix.size())
        return false;
    strQuoted = line.substr(prefix.size(), line.size() - prefix.size() - suffix.size());
    return true;
}

std::string_view Trimmed(std::string_view line)
{
    const auto nFirst = line.find_first_not_of(" \t");
    if (nFirst == std::string_view::npos)
        return {};
    return line.substr(nFirst, line.find_last_not_of(" \t") + 1 - nFirst);
}

// Removes the table in a transaction, whether or not it is there: adding first makes the delete
// succeed either way.
std::string RemoveCommands()
{
    std::ostringstream commands;
    commands << "add table " << kTable << "\n"
             << "delete table " << kTable << "\n";
    return commands.str();
}

bool HasWord(std::string_view line, std::string_view word)
{
    std::istringstream words{std::string(line)};
    std::string strWord;
    while (words >> strWord) {
        if (strWord == word || strWord == std::string(word) + ";")
            return true;
    }
    return false;
}

// One block of a rule set listing being read: a table, a chain in it, or anything else (a set,
// a map, a flowtable), whose braces only have to be counted.
struct SBlock {
    enum class EKind { Table, Chain, Other } kind = EKind::Other;
    std::string strName;
    bool bForwardHook = false;
    bool bPolicyDrop = false;
    bool bMayPass = false;
};

SBlock OpenedBlock(std::string_view line, const std::vector<SBlock>& blocks)
{
    std::istringstream words{std::string(line)};
    std::string strKeyword;
    std::string strFirst;
    std::string strSecond;
    words >> strKeyword >> strFirst >> strSecond;
    if (strKeyword == "table" && blocks.empty())
        return SBlock{SBlock::EKind::Table, "table " + strFirst + " " + strSecond};
    if (strKeyword == "chain" && blocks.size() == 1 && blocks[0].kind == SBlock::EKind::Table)
        return SBlock{SBlock::EKind::Chain, "chain " + strFirst};
    return SBlock{};
}

// Our own table, and the families whose forward hook sees no IPv4, never drop the shared traffic.
bool SeesOthersIpv4(const std::string& strTable)
{
    return strTable != "table " + std::string(kTable) &&
           (strTable.starts_with("table ip ") || strTable.starts_with("table inet "));
}

void TraceError(const char* pszError)
{
    std::string strTrace = "CNftSharingTable::Run(): ";
    strTrace += pszError != nullptr ? pszError : "";
    if (strTrace.back() != '\n')
        strTrace += '\n';
    OutputDebugStringA(strTrace.c_str());
}

} // namespace

CNftSharingTable::CNftSharingTable() : m_pContext(nft_ctx_new(NFT_CTX_DEFAULT))
{
    if (m_pContext != nullptr) {
        nft_ctx_buffer_output(m_pContext);
        nft_ctx_buffer_error(m_pContext);
    }
}

CNftSharingTable::~CNftSharingTable()
{
    if (m_pContext != nullptr)
        nft_ctx_free(m_pContext);
}

std::string CNftSharingTable::ReplaceCommands(const std::string& strInterface,
                                              bool bForwardingWasOn)
{
    const std::string strQuoted = '"' + strInterface + '"';
    std::ostringstream commands;
    commands << RemoveCommands() << "table " << kTable << " {\n"
             << "\tcomment \"" << kCommentPrefix
             << (bForwardingWasOn ? kForwardingOn : kForwardingOff) << "\"\n"
             << "\tchain postrouting {\n"
             << "\t\ttype nat hook postrouting priority srcnat; policy accept;\n"
             << "\t\toifname " << strQuoted << " masquerade\n"
             << "\t}\n"
             << "\tchain forward {\n"
             << "\t\ttype filter hook forward priority filter; policy accept;\n"
             << "\t\tiifname " << strQuoted << " ct state established,related accept\n"
             << "\t\tiifname " << strQuoted << " drop\n"
             << "\t}\n"
             << "}\n";
    return commands.str();
}

bool CNftSharingTable::ParseListing(const std::string& strListing, SState& state)
{
    state = SState{};
    std::istringstream lines(strListing);
    std::string strLine;
    std::string strForwarding;
    bool bOurs = false;
    while (std::getline(lines, strLine)) {
        const std::string_view line = Trimmed(strLine);
        std::string strQuoted;
        if (QuotedAfter(line, "comment \"", "\"", strQuoted) &&
            strQuoted.starts_with(kCommentPrefix)) {
            bOurs = true;
            strForwarding = strQuoted.substr(kCommentPrefix.size());
        } else if (QuotedAfter(line, "oifname \"", "\" masquerade", strQuoted)) {
            state.strInterface = strQuoted;
        }
    }
    state.bPresent = bOurs && !state.strInterface.empty();
    state.bForwardingWasOn = strForwarding == kForwardingOn;
    return state.bPresent;
}

std::vector<std::string> CNftSharingTable::ParseForwardDrops(const std::string& strRuleset)
{
    std::vector<std::string> chains;
    std::vector<SBlock> blocks;
    std::istringstream lines(strRuleset);
    std::string strLine;
    while (std::getline(lines, strLine)) {
        const std::string_view line = Trimmed(strLine);
        SBlock* pChain =
            blocks.size() == 2 && blocks[1].kind == SBlock::EKind::Chain ? &blocks[1] : nullptr;
        if (pChain != nullptr && line.starts_with("type ")) {
            pChain->bForwardHook = HasWord(line, "hook") && HasWord(line, "forward");
            pChain->bPolicyDrop = line.find("policy drop;") != std::string_view::npos;
        } else if (pChain != nullptr && !line.empty() && line != "}") {
            pChain->bMayPass = pChain->bMayPass || HasWord(line, "accept") ||
                               HasWord(line, "jump") || HasWord(line, "goto");
        }
        const auto nOpened = std::count(line.begin(), line.end(), '{');
        const auto nClosed = std::count(line.begin(), line.end(), '}');
        for (auto n = nOpened - nClosed; n > 0; --n)
            blocks.push_back(n == 1 && line.ends_with("{") ? OpenedBlock(line, blocks) : SBlock{});
        for (auto n = nClosed - nOpened; n > 0 && !blocks.empty(); --n) {
            const SBlock block = blocks.back();
            blocks.pop_back();
            if (block.kind == SBlock::EKind::Chain && block.bForwardHook && block.bPolicyDrop &&
                !block.bMayPass && !blocks.empty() && SeesOthersIpv4(blocks[0].strName))
                chains.push_back(blocks[0].strName + ", " + block.strName);
        }
    }
    return chains;
}

bool CNftSharingTable::IsSafeInterfaceName(const std::string& strName)
{
    if (strName.empty() || strName.size() > kMaxInterfaceName)
        return false;
    for (const char c : strName) {
        const bool bSafe = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' ||
                           c == '_' || c == '-' || c == '@' || c == '+';
        if (!bSafe)
            return false;
    }
    return true;
}

HRESULT CNftSharingTable::Read(SState& state)
{
    state = SState{};
    const HRESULT hr = Run("list table " + std::string(kTable), false);
    if (hr == S_FALSE)
        return S_OK;
    if (FAILED(hr))
        return hr;
    return ParseListing(m_strOutput, state) ? S_OK : E_FAIL;
}

HRESULT CNftSharingTable::Replace(const std::string& strInterface, bool bForwardingWasOn)
{
    if (!IsSafeInterfaceName(strInterface))
        return E_INVALIDARG;
    return Run(ReplaceCommands(strInterface, bForwardingWasOn));
}

HRESULT CNftSharingTable::Remove()
{
    return Run(RemoveCommands());
}

HRESULT CNftSharingTable::FindForwardDrops(std::vector<std::string>& chains)
{
    const HRESULT hr = Run("list ruleset");
    chains = SUCCEEDED(hr) ? ParseForwardDrops(m_strOutput) : std::vector<std::string>{};
    return hr;
}

// S_FALSE when the table is absent and that is not a failure.
HRESULT CNftSharingTable::Run(const std::string& strCommands, bool bAbsentIsFailure)
{
    if (m_pContext == nullptr)
        return E_OUTOFMEMORY;
    const bool bDone = nft_run_cmd_from_buffer(m_pContext, strCommands.c_str()) == 0;
    // Reading the buffers empties them for the next command.
    m_strOutput = nft_ctx_get_output_buffer(m_pContext);
    const std::string_view error = nft_ctx_get_error_buffer(m_pContext);
    if (bDone)
        return S_OK;
    if (!bAbsentIsFailure && error.find(kAbsent) != std::string_view::npos)
        return S_FALSE;
    TraceError(error.data());
    return error.find(kPermissionDenied) != std::string_view::npos ? E_ACCESSDENIED : E_FAIL;
}
