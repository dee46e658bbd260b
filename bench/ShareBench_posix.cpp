// SPDX-License-Identifier: GPL-3.0-or-later
// A Share on Linux beside a large foreign rule set (29,000 nftables rules of another firewall and
// 1,000 of iptables-nft's), side by side with the kernel's own JSON listing of that rule set: the
// whole Share and Unshare as the service makes them, their parts (the listing, the xtables dumps,
// the parsing, the walk, our table's reading and replacing), and the refresh that follows a Share,
// with few connections and with many. Runs as root of a network namespace of its own
// (scripts/bench runs it in one).
#include "Figures.h"
#include "FirewallCheck.h"
#include "IptablesNftRestore_posix.h"
#include "LinuxSharingService.h"
#include "NftFirewallReader.h"
#include "NftRunner.h"
#include "NftSharingTable.h"
#include "NftXtDump.h"
#include "RegisteredService.h"
#include "server/SharedConnections.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace
{

constexpr int kRepeats = 5;
// Of another firewall's 30,000 rules, iptables-nft's hold xtables matches, whose data the kernel
// alone gives.
constexpr int kForeignRules = 29000;
constexpr int kIptablesRules = 1000;
// A user namespace's netlink socket takes a batch of about 500 rules at most.
constexpr int kRulesPerBatch = 400;
constexpr const char* kUplink = "tls-up";

double MsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return MsSince(start);
}

std::vector<double> Repeated(const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i)
        times.push_back(MsOf(work));
    return times;
}

// Another firewall's rules, in the shapes such rule sets have: addresses and ports dropped or
// accepted, interfaces matched, connection states and counters, spread over three hooks.
std::string ForeignRule(int i)
{
    const char* const pszChain[] = {"input", "forward", "output"};
    const int nA = i / 250 % 250;
    const int nB = i % 250;
    std::string strRule = "add rule inet bigfw " + std::string(pszChain[i % 3]) + " ";
    switch (i / 3 % 3) {
    case 0:
        return strRule + "ip saddr 10." + std::to_string(100 + nA % 100) + "." +
               std::to_string(nB) + ".1 tcp dport " + std::to_string(1000 + i % 5000) +
               " counter drop\n";
    case 1:
        return strRule + "iifname \"lan" + std::to_string(i % 7) + "\" ip daddr 172.16." +
               std::to_string(nA) + "." + std::to_string(nB) + " udp dport " +
               std::to_string(2000 + i % 3000) + " accept\n";
    default:
        return strRule + "ip saddr 192.168." + std::to_string(nA) +
               ".0/24 ct state new counter accept comment \"rule " + std::to_string(i) + "\"\n";
    }
}

bool LoadForeignRules()
{
    CNftRunner nft;
    std::string strBatch = "add table inet bigfw\n";
    for (const char* pszHook : {"input", "forward", "output"})
        strBatch += "add chain inet bigfw " + std::string(pszHook) + " { type filter hook " +
                    pszHook + " priority 0; policy accept; }\n";
    for (int i = 0; i < kForeignRules; ++i) {
        strBatch += ForeignRule(i);
        if ((i + 1) % kRulesPerBatch == 0 || i + 1 == kForeignRules) {
            if (FAILED(nft.Run(strBatch)))
                return false;
            strBatch.clear();
        }
    }
    return true;
}

bool LoadIptablesRules()
{
    return IptablesNftRestore(kIptablesRules, [](int i) {
        return "-A FORWARD -s 10.201." + std::to_string(i / 250) + "." + std::to_string(i % 250) +
               " -p tcp -m multiport --dports 25,465 -m comment --comment \"mail " +
               std::to_string(i) + "\" -j DROP";
    });
}

// The refresh after a Share asks what the server's refresh asks, row by row.
void Refresh(CSharedConnections& connections)
{
    connections.With([](CMyNetConnection& manager) {
        manager.QueryConnections();
        for (int i = 0; i < manager.ConnectionCount(); ++i) {
            manager.GetName(i);
            manager.GetStatus(i);
            manager.GetMediaType(i);
            manager.IsShared(i);
        }
        return 0;
    });
}

void MeasureParts()
{
    const auto up = CFirewallCheck::ReadInterfaces();
    const CFirewallCheck::SInterface uplink = CFirewallCheck::Named(kUplink, up);
    std::vector<CFirewallCheck::SInterface> lans;
    for (const CFirewallCheck::SInterface& lan : up)
        if (lan.strName != kUplink)
            lans.push_back(lan);
    CNftRunner nft;
    PrintFigure("The JSON listing, in the process (libnftables)", Repeated([&] {
                    nft.Run("list ruleset", CNftRunner::EAbsence::Fails, CNftRunner::EOutput::Json);
                }),
                "ms");
    const std::string strListing = nft.Output();
    CNftXtDump::XtMap xtData;
    PrintFigure("The xtables dump of every rule (libnftnl)",
                Repeated([&] { xtData = CNftXtDump::Read(); }), "ms");
    PrintFigure("The xtables dump of the chains that hold any (iptables-nft's FORWARD)",
                Repeated([&] {
                    xtData = CNftXtDump::Read({{"ip", "filter", "FORWARD"}});
                }),
                "ms");
    CFirewallRuleset ruleset;
    PrintFigure("The listing parsed into rules", Repeated([&] {
                    ruleset = CFirewallRuleset();
                    CNftFirewallReader::Parse(strListing, xtData, CNftSharingTable::Name(),
                                              ruleset);
                }),
                "ms");
    PrintFigure("The walk (shared traffic and the clients' port)", Repeated([&] {
                    CFirewallCheck::SharedTraffic(ruleset, lans, uplink);
                    CFirewallCheck::ClientPort(ruleset, lans, 10000);
                }),
                "ms");
    CNftSharingTable table;
    PrintFigure("Our table replaced", Repeated([&] { table.Replace(kUplink, true); }), "ms");
    CNftSharingTable::SState state;
    PrintFigure("Our table read back", Repeated([&] { table.Read(state); }), "ms");
    table.Remove();
}

// Each Share beside a listing by nft just before it, so that both meet the same moment of a busy
// machine.
void MeasureShare()
{
    CLinuxSharingService::SOptions options;
    options.DialupInterfaces = {kUplink};
    const auto pService = CLinuxSharingService::Create(options);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        CRegisteredService registration(pService);
        CSharedConnections connections;
        Refresh(connections);
        pService->CheckClientPort(10000);
        std::vector<double> listings;
        std::vector<double> shares;
        std::vector<double> unshares;
        std::vector<double> refreshes;
        for (int i = 0; i < kRepeats; ++i) {
            listings.push_back(MsOf([] { std::system("nft -j list ruleset >/dev/null"); }));
            shares.push_back(
                MsOf([&] { pService->EnableSharing(kUplink, ICSSHARINGTYPE_PUBLIC); }));
            refreshes.push_back(MsOf([&] { Refresh(connections); }));
            unshares.push_back(MsOf([&] { pService->DisableSharing(kUplink); }));
        }
        PrintFigure("nft -j list ruleset, 30,000 foreign rules (the kernel's own listing)",
                    listings, "ms");
        PrintFigure("A Share, the service's whole", shares, "ms");
        // A Share reads the rule set once, as the listing does, and walks it: not much more.
        std::vector<double> ratios;
        for (int i = 0; i < kRepeats; ++i)
            ratios.push_back(shares[i] / listings[i]);
        PrintFigure("A Share over the kernel's own listing", ratios, "x", 1.5);
        PrintFigure("An Unshare, the service's whole", unshares, "ms");
        PrintFigure("The refresh after a Share (loopback, a veth pair)", refreshes, "ms");
        // A gateway with many networks: the refresh asks the kernel for each row.
        std::system("for i in $(seq 1 15); do ip link add tls-many$i type veth peer name "
                    "tls-peer$i; done");
        PrintFigure("The refresh, 32 connections", Repeated([&] { Refresh(connections); }), "ms");
        std::system("for i in $(seq 1 15); do ip link del tls-many$i; done");
        connections.With([](CMyNetConnection& manager) {
            manager.ReleaseService();
            return 0;
        });
    }
    CoUninitialize();
}

} // namespace

int main()
{
    if (std::system("ip link add tls-up type veth peer name tls-lan && ip link set tls-up up && "
                    "ip link set tls-lan up && ip addr add 10.78.1.1/24 dev tls-lan") != 0 ||
        !LoadForeignRules() || !LoadIptablesRules()) {
        std::fprintf(stderr, "The namespace's uplink or the foreign rules could not be made\n");
        return 1;
    }
    MeasureParts();
    MeasureShare();
    std::system("nft flush ruleset; ip link del tls-up");
    return 0;
}
