// SPDX-License-Identifier: GPL-3.0-or-later
#include "NftFirewallReader.h"

#include "FirewallMatches.h"
#include "XtMatches.h"

#include <algorithm>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace
{

using json = nlohmann::json;
using namespace FirewallMatches;

// The listing's named sets and maps, by "family table name", as their elements.
using NamedSets = std::map<std::string, json>;

struct SContext {
    std::string strFamily;
    std::string strTable;
    const NamedSets* pSets;
};

// An object's member, or null: read in place, as a large listing's parts are not to be copied.
const json& Member(const json& object, const char* pszKey)
{
    static const json null;
    if (!object.is_object())
        return null;
    const auto found = object.find(pszKey);
    return found != object.end() ? *found : null;
}

// A match on something the walk does not know may match.
FirewallMatch Unknown()
{
    return Always(ETruth::Maybe);
}

// The values that the right side of a match stands for: one value, a set, a named set or a list.
bool Elements(const json& right, const SContext& context, std::vector<json>& elements)
{
    if (right.is_string() && right.get<std::string>().starts_with("@")) {
        const auto found = context.pSets->find(context.strFamily + " " + context.strTable + " " +
                                               right.get<std::string>().substr(1));
        if (found == context.pSets->end())
            return false;
        return Elements(found->second, context, elements);
    }
    if (right.is_object() && right.contains("set"))
        return Elements(right["set"], context, elements);
    if (right.is_array()) {
        for (const json& element : right) {
            // A set's element may carry a timeout or a comment beside its value.
            const json& value = element.is_object() && element.contains("elem")
                                    ? Member(element["elem"], "val")
                                    : element;
            elements.push_back(value);
        }
        return true;
    }
    elements.push_back(right);
    return true;
}

bool AsString(const json& element, std::string& strValue)
{
    if (!element.is_string())
        return false;
    strValue = element.get<std::string>();
    return true;
}

bool AsRange(const json& element, SAddressRange& range)
{
    std::string strAddress;
    if (AsString(element, strAddress))
        return ParseAddressRange(strAddress, range);
    if (element.is_object() && element.contains("prefix"))
        return ParseAddressRange(element["prefix"].value("addr", std::string()) + "/" +
                                     std::to_string(element["prefix"].value("len", 0)),
                                 range);
    SAddressRange first;
    SAddressRange last;
    if (element.is_object() && element.contains("range") && element["range"].size() == 2 &&
        AsRange(element["range"][0], first) && AsRange(element["range"][1], last)) {
        range = {first.nFirst, last.nLast};
        return true;
    }
    return false;
}

bool AsPorts(const json& element, std::pair<int, int>& ports)
{
    if (element.is_number_integer()) {
        ports = {element.get<int>(), element.get<int>()};
        return true;
    }
    if (element.is_object() && element.contains("range") && element["range"].size() == 2 &&
        element["range"][0].is_number_integer() && element["range"][1].is_number_integer()) {
        ports = {element["range"][0].get<int>(), element["range"][1].get<int>()};
        return true;
    }
    return false;
}

bool AsProtocol(const json& element, int& nProtocol)
{
    nProtocol =
        element.is_number_integer()
            ? element.get<int>()
            : ProtocolNumber(element.is_string() ? element.get<std::string>() : std::string());
    return nProtocol >= 0;
}

// Every element converted, or no match that the walk can decide.
template <typename TValue, typename TConvert>
bool Convert(const std::vector<json>& elements, TConvert convert, std::vector<TValue>& values)
{
    for (const json& element : elements) {
        TValue value{};
        if (!convert(element, value))
            return false;
        values.push_back(value);
    }
    return true;
}

template <typename TValue, typename TConvert, typename TMake>
FirewallMatch Decided(const std::vector<json>& elements, TConvert convert, TMake make)
{
    std::vector<TValue> values;
    if (!Convert(elements, convert, values))
        return Unknown();
    return make(std::move(values));
}

FirewallMatch MetaMatch(const std::string& strKey, const std::vector<json>& elements, bool bNegated)
{
    const auto names = [&](EDirection direction) {
        return Decided<std::string>(elements, AsString, [&](std::vector<std::string> values) {
            return InterfaceName(direction, std::move(values), bNegated);
        });
    };
    if (strKey == "iifname" || strKey == "iif")
        return names(EDirection::In);
    if (strKey == "oifname" || strKey == "oif")
        return names(EDirection::Out);
    if (strKey == "l4proto")
        return Decided<int>(elements, AsProtocol, [&](std::vector<int> values) {
            return Protocol(std::move(values), bNegated);
        });
    if (strKey == "nfproto" || strKey == "protocol")
        return Decided<std::string>(elements, AsString, [&](std::vector<std::string> values) {
            const bool bIpv4 = std::find_if(values.begin(), values.end(), [](const auto& str) {
                                   return str == "ipv4" || str == "ip";
                               }) != values.end();
            return Always(bIpv4 != bNegated ? ETruth::Yes : ETruth::No);
        });
    return Unknown();
}

FirewallMatch PayloadMatch(const std::string& strProtocol, const std::string& strField,
                           const std::vector<json>& elements, bool bNegated)
{
    if (strProtocol == "ip6" || strProtocol == "icmpv6" || strProtocol == "arp")
        return Always(ETruth::No);
    if (strProtocol == "ip" && (strField == "saddr" || strField == "daddr"))
        return Decided<SAddressRange>(elements, AsRange, [&](std::vector<SAddressRange> values) {
            return Address(strField == "saddr" ? EEnd::Source : EEnd::Destination,
                           std::move(values), bNegated);
        });
    if (strProtocol == "ip" && strField == "protocol")
        return MetaMatch("l4proto", elements, bNegated);
    if (strProtocol == "ip")
        return Unknown();
    const int nProtocol = strProtocol == "th" ? -1 : ProtocolNumber(strProtocol);
    // A header that is no transport protocol's (ether, vlan, ...) is not decided here.
    if (nProtocol < 0 && strProtocol != "th")
        return Unknown();
    if (strField == "sport" || strField == "dport")
        return Decided<std::pair<int, int>>(
            elements, AsPorts, [&](std::vector<std::pair<int, int>> values) {
                return Port(nProtocol, strField == "sport" ? EEnd::Source : EEnd::Destination,
                            std::move(values), bNegated);
            });
    // Any other field of a protocol's header is there only in that protocol's packets.
    const FirewallMatch protocol = Protocol({nProtocol}, false);
    return
        [protocol](const SFirewallPacket& packet) { return Both(protocol(packet), ETruth::Maybe); };
}

FirewallMatch CtMatch(const json& ct, const std::vector<json>& elements, bool bNegated)
{
    const std::string strKey = ct.value("key", std::string());
    if (ct.contains("dir"))
        return Unknown();
    const auto words = [&](auto make) {
        return Decided<std::string>(elements, AsString, [&](std::vector<std::string> values) {
            return make(std::move(values), bNegated);
        });
    };
    if (strKey == "state")
        return words(ConnectionState);
    if (strKey == "status")
        return words(ConnectionStatus);
    if (strKey == "direction" && elements.size() == 1 && elements[0].is_string())
        return ConnectionDirection(elements[0].get<std::string>(), bNegated);
    return Unknown();
}

FirewallMatch FibMatch(const json& fib, const std::vector<json>& elements, bool bNegated)
{
    if (fib.value("result", std::string()) != "type" ||
        fib.value("flags", json::array()) != json::array({"daddr"}))
        return Unknown();
    return Decided<std::string>(elements, AsString, [&](std::vector<std::string> values) {
        return DestinationType(std::move(values), bNegated);
    });
}

FirewallMatch MatchOf(const std::string& strOperator, const json& left, const json& right,
                      const SContext& context)
{
    std::vector<json> elements;
    if ((strOperator != "==" && strOperator != "!=" && strOperator != "in") || !left.is_object() ||
        !Elements(right, context, elements))
        return Unknown();
    const bool bNegated = strOperator == "!=";
    if (left.contains("meta"))
        return MetaMatch(left["meta"].value("key", std::string()), elements, bNegated);
    if (left.contains("payload") && left["payload"].contains("protocol"))
        return PayloadMatch(left["payload"].value("protocol", std::string()),
                            left["payload"].value("field", std::string()), elements, bNegated);
    if (left.contains("ct"))
        return CtMatch(left["ct"], elements, bNegated);
    if (left.contains("fib"))
        return FibMatch(left["fib"], elements, bNegated);
    return Unknown();
}

// Builds the rules that one listed rule becomes: one, or one per element of a verdict map.
class CRuleBuilder
{
public:
    CRuleBuilder(const SContext& context, const std::vector<CNftXtDump::SXtData>* pXts)
        : m_Context(context), m_pXts(pXts)
    {
    }

    void Add(const json& expression, std::vector<SFirewallRule>& rules)
    {
        if (!expression.is_object() || expression.empty() || m_bEnded)
            return;
        const std::string strKey = expression.begin().key();
        const json& value = expression.begin().value();
        if (strKey == "match")
            m_Rule.Matches.push_back(MatchOf(value.value("op", std::string()),
                                             Member(value, "left"), Member(value, "right"),
                                             m_Context));
        else if (strKey == "xt")
            AddXt(value);
        else if (strKey == "vmap")
            AddVerdictMap(value, rules);
        else if (strKey == "limit" || strKey == "quota" || strKey == "numgen")
            m_Rule.Matches.push_back(Unknown());
        else
            SetVerdict(strKey, value);
    }

    void Finish(std::vector<SFirewallRule>& rules)
    {
        if (!m_bEnded)
            rules.push_back(m_Rule);
    }

private:
    static EFirewallVerdict VerdictOf(const std::string& strKey)
    {
        static const std::map<std::string, EFirewallVerdict> verdicts = {
            {"accept", EFirewallVerdict::Accept},    {"drop", EFirewallVerdict::Drop},
            {"reject", EFirewallVerdict::Drop},      {"return", EFirewallVerdict::Return},
            {"jump", EFirewallVerdict::Jump},        {"goto", EFirewallVerdict::Goto},
            {"masquerade", EFirewallVerdict::Nat},   {"snat", EFirewallVerdict::Nat},
            {"queue", EFirewallVerdict::Unknown},    {"dnat", EFirewallVerdict::Unknown},
            {"redirect", EFirewallVerdict::Unknown}, {"tproxy", EFirewallVerdict::Unknown},
            {"synproxy", EFirewallVerdict::Unknown}};
        const auto found = verdicts.find(strKey);
        // Counters, logs, marks and the like change nothing for the walk.
        return found != verdicts.end() ? found->second : EFirewallVerdict::None;
    }

    void SetVerdict(const std::string& strKey, const json& value)
    {
        const EFirewallVerdict verdict = VerdictOf(strKey);
        if (verdict == EFirewallVerdict::None)
            return;
        m_Rule.verdict = verdict;
        if (value.is_object())
            m_Rule.strTarget = value.value("target", std::string());
    }

    void AddXt(const json& value)
    {
        const std::string strName = value.value("name", std::string());
        const bool bTarget = value.value("type", std::string()) == "target";
        const CNftXtDump::SXtData* pData =
            m_pXts != nullptr && m_nXt < m_pXts->size() ? &(*m_pXts)[m_nXt] : nullptr;
        ++m_nXt;
        if (pData != nullptr && (pData->strName != strName || pData->bTarget != bTarget))
            pData = nullptr;
        if (bTarget)
            m_Rule.verdict = XtMatches::TargetVerdict(strName);
        else if (pData != nullptr)
            m_Rule.Matches.push_back(XtMatches::Match(strName, pData->nRevision, pData->Data.data(),
                                                      pData->Data.size()));
        else
            m_Rule.Matches.push_back(Unknown());
    }

    void AddVerdictMap(const json& value, std::vector<SFirewallRule>& rules)
    {
        std::vector<json> pairs;
        m_bEnded = true;
        if (!Elements(Member(value, "data"), m_Context, pairs))
            return;
        for (const json& pair : pairs) {
            if (!pair.is_array() || pair.size() != 2 || !pair[1].is_object() || pair[1].empty())
                continue;
            SFirewallRule rule = m_Rule;
            rule.Matches.push_back(MatchOf("==", Member(value, "key"), pair[0], m_Context));
            rule.verdict = VerdictOf(pair[1].begin().key());
            if (pair[1].begin().value().is_object())
                rule.strTarget = pair[1].begin().value().value("target", std::string());
            rules.push_back(std::move(rule));
        }
    }

    const SContext& m_Context;
    const std::vector<CNftXtDump::SXtData>* m_pXts;
    std::size_t m_nXt = 0;
    SFirewallRule m_Rule;
    bool m_bEnded = false;
};

std::string TableKey(const json& object)
{
    return object.value("family", std::string()) + " " + object.value("table", std::string());
}

SFirewallChain ChainOf(const json& chain)
{
    SFirewallChain result;
    result.strName = chain.value("name", std::string());
    result.strHook = chain.value("hook", std::string());
    result.strType = chain.value("type", std::string());
    result.nPriority = chain.value("prio", 0);
    result.bPolicyDrop = chain.value("policy", std::string()) == "drop";
    return result;
}

bool SeesIpv4(const std::string& strFamily)
{
    return strFamily == "ip" || strFamily == "inet";
}

void AddRule(const json& rule, const CNftXtDump::XtMap& xtData, const NamedSets& sets,
             std::map<std::string, SFirewallTable>& tables)
{
    const auto table = tables.find(TableKey(rule));
    if (table == tables.end())
        return;
    const std::string strChain = rule.value("chain", std::string());
    for (SFirewallChain& chain : table->second.Chains) {
        if (chain.strName != strChain)
            continue;
        const SContext context{rule.value("family", std::string()),
                               rule.value("table", std::string()), &sets};
        const auto xts = xtData.find(CNftXtDump::Key(context.strFamily, context.strTable, strChain,
                                                     rule.value("handle", 0ULL)));
        CRuleBuilder builder(context, xts != xtData.end() ? &xts->second : nullptr);
        const json& expressions = Member(rule, "expr");
        if (expressions.is_array())
            for (const json& expression : expressions)
                builder.Add(expression, chain.Rules);
        builder.Finish(chain.Rules);
        return;
    }
}

void ReadListing(const json& listing, const CNftXtDump::XtMap& xtData,
                 const std::string& strOwnTable, CFirewallRuleset& ruleset)
{
    NamedSets sets;
    std::vector<std::string> order;
    std::map<std::string, SFirewallTable> tables;
    for (const json& object : listing) {
        const json* pSet = object.contains("set") ? &object["set"] : nullptr;
        pSet = pSet == nullptr && object.contains("map") ? &object["map"] : pSet;
        if (pSet != nullptr)
            sets[TableKey(*pSet) + " " + pSet->value("name", std::string())] =
                pSet->value("elem", json::array());
        if (object.contains("table")) {
            const json& table = object["table"];
            const std::string strName =
                table.value("family", std::string()) + " " + table.value("name", std::string());
            if (SeesIpv4(table.value("family", std::string())) && strName != strOwnTable) {
                order.push_back(strName);
                tables[strName].strName = strName;
            }
        }
        if (object.contains("chain") && tables.contains(TableKey(object["chain"])))
            tables[TableKey(object["chain"])].Chains.push_back(ChainOf(object["chain"]));
    }
    for (const json& object : listing) {
        if (object.contains("rule"))
            AddRule(object["rule"], xtData, sets, tables);
    }
    for (const std::string& strName : order)
        ruleset.AddTable(std::move(tables[strName]));
}

// The chains whose rules hold xtables expressions (iptables-nft's), whose data the kernel gives.
std::vector<CNftXtDump::SChain> XtChains(const json& listing)
{
    std::set<CNftXtDump::SChain> chains;
    for (const json& object : listing) {
        const json& rule = Member(object, "rule");
        const json& expressions = Member(rule, "expr");
        if (!expressions.is_array() || !SeesIpv4(rule.value("family", std::string())))
            continue;
        if (std::any_of(expressions.begin(), expressions.end(),
                        [](const json& expression) { return expression.contains("xt"); }))
            chains.insert({rule.value("family", std::string()), rule.value("table", std::string()),
                           rule.value("chain", std::string())});
    }
    return {chains.begin(), chains.end()};
}

using XtSource = std::function<CNftXtDump::XtMap(const std::vector<CNftXtDump::SChain>&)>;

bool ParseListing(const std::string& strJson, const XtSource& readXt,
                  const std::string& strOwnTable, CFirewallRuleset& ruleset)
{
    const json document = json::parse(strJson, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("nftables") ||
        !document["nftables"].is_array())
        return false;
    // A listing of an unexpected shape is read as far as it goes, and never thrown out of here.
    try {
        const json& listing = document["nftables"];
        ReadListing(listing, readXt(XtChains(listing)), strOwnTable, ruleset);
    } catch (const json::exception&) {
        return false;
    }
    return true;
}

} // namespace

bool CNftFirewallReader::Parse(const std::string& strJson, const CNftXtDump::XtMap& xtData,
                               const std::string& strOwnTable, CFirewallRuleset& ruleset)
{
    return ParseListing(
        strJson, [&xtData](const std::vector<CNftXtDump::SChain>&) { return xtData; }, strOwnTable,
        ruleset);
}

bool CNftFirewallReader::Parse(const std::string& strJson, const std::string& strOwnTable,
                               CFirewallRuleset& ruleset)
{
    return ParseListing(
        strJson,
        [](const std::vector<CNftXtDump::SChain>& chains) {
            return chains.empty() ? CNftXtDump::XtMap() : CNftXtDump::Read(chains);
        },
        strOwnTable, ruleset);
}
