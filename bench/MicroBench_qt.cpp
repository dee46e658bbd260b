// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the work behind each request and each log entry: building the connection
// list reply, reading one, recognising requests, adding an entry to a full log, the walk through
// other firewalls that follows a Share on Linux, and the rule that decides whether a client is
// answered. Then the Linux service's keeping of a sharing: how soon a flushed rule set is put
// back, and what the watch costs while nothing happens.
#include "ClientRule.h"
#include "ControlProtocol.h"
#include "Figures.h"
#include "FirewallCheck.h"
#include "FirewallRecording.h"
#include "LinuxSharingService.h"
#include "ServerWindowFixture_qt.h"
#include "UiApplication.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <map>
#include <thread>

using namespace ControlProtocol;

namespace
{

constexpr int kRepeats = 5;

void BM_BuildConnectionListReply(benchmark::State& state)
{
    CServerWindowFixture server(static_cast<int>(state.range(0)));
    std::string strReply;
    for (auto _ : state) {
        strReply = server.Host().Handler().ConnectionListReply();
        benchmark::DoNotOptimize(strReply);
    }
    state.counters["reply_bytes"] = static_cast<double>(strReply.size());
}
BENCHMARK(BM_BuildConnectionListReply)
    ->Arg(10)
    ->Arg(256)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepeats);

void BM_ReadConnectionListReply(benchmark::State& state)
{
    std::string strEntries;
    for (int i = 0; i < kMaxListedConnections; ++i)
        strEntries +=
            BuildConnectionEntry("Connection " + std::to_string(i), "Connected", "Lan", i == 0);
    const std::string strReply =
        BuildConnectionListReply("SERVER1", kMaxListedConnections, strEntries);
    std::vector<SConnectionEntry> entries;
    for (auto _ : state) {
        ReadConnectionListReply(strReply, entries);
        benchmark::DoNotOptimize(entries.data());
    }
}
BENCHMARK(BM_ReadConnectionListReply)->Unit(benchmark::kMicrosecond)->Repetitions(kRepeats);

void BM_RecogniseRequest(benchmark::State& state)
{
    const std::string requests[] = {"PC7:Hello",     "PC7:ConnectionList", "PC7:Share:1",
                                    "PC7:Unshare:1", "PC7:Connect:2",      "PC7:Disconnect:2",
                                    "PC7:Goodbye",   "PC7:hello"};
    std::size_t i = 0;
    for (auto _ : state) {
        const std::string& strRequest = requests[i++ % std::size(requests)];
        const std::string strPart = CommandPart(strRequest);
        benchmark::DoNotOptimize(RecogniseCommand(strPart));
        benchmark::DoNotOptimize(ReadIndex(strPart));
    }
}
BENCHMARK(BM_RecogniseRequest)->Repetitions(kRepeats);

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// AddEntry on the window's thread into a full Log page of 100,000 rows, so that every entry also
// drops the oldest: the call alone (with its line on standard output), and with the window's work
// that follows (layout and paint of the list, as the event loop does between entries). The heap
// that the rows take is reported per entry.
void BM_AddEntryToFullLog(benchmark::State& state)
{
    CServerWindowFixture server(2);
    CLogFanOut& log = server.Host().Log();
    CLog& page = *server.Dlg().m_pLogPage;
    const bool bWithWindowWork = state.range(0) != 0;
    const std::size_t nHeapBefore = HeapInUse();
    const int nFirstRow = page.m_LogList.GetItemCount();
    for (int i = nFirstRow; i < CLog::kMaxEntries; ++i)
        log.AddEntry("Message Received: PC" + std::to_string(i) + ":ConnectionList");
    QCoreApplication::processEvents();
    const double dBytesPerEntry = static_cast<double>(HeapInUse() - nHeapBefore) /
                                  static_cast<double>(CLog::kMaxEntries - nFirstRow);
    int n = 0;
    for (auto _ : state) {
        log.AddEntry("Message Received: PC" + std::to_string(n++) + ":ConnectionList");
        if (bWithWindowWork)
            QCoreApplication::processEvents();
    }
    state.counters["heap_bytes_per_entry"] = dBytesPerEntry;
}
BENCHMARK(BM_AddEntryToFullLog)
    ->ArgName("with_window_work")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepeats);

// What a Share on Linux adds when it reads the other firewalls: their JSON listing turned into
// rules and walked for the forwarded traffic and for the clients' port, on the recorded rule sets
// of ufw with its defaults and of firewalld with zones and a policy. Reading the listing from the
// kernel is not in it.
void BM_FirewallWalk(benchmark::State& state, const char* pszRecording)
{
    std::ifstream file(std::string(TARNLOW_FIREWALLS_DIR) + "/" + pszRecording + ".json");
    std::stringstream text;
    text << file.rdbuf();
    const CNftXtDump::XtMap xtMap = FirewallRecording::XtOf(nlohmann::json::parse(text.str()));
    const CFirewallCheck::SInterface lan{"gw-lan", 2, 0x0a4d0101, {0x0a4d0100, 0x0a4d01ff}};
    const CFirewallCheck::SInterface uplink{"gw-isp", 3, 0x0a4d0201, {0x0a4d0200, 0x0a4d02ff}};
    for (auto _ : state) {
        CFirewallRuleset ruleset;
        CNftFirewallReader::Parse(text.str(), xtMap, "ip tarnlow", ruleset);
        benchmark::DoNotOptimize(CFirewallCheck::SharedTraffic(ruleset, {lan}, uplink));
        benchmark::DoNotOptimize(CFirewallCheck::ClientPort(ruleset, {lan}, 10000));
    }
}
BENCHMARK_CAPTURE(BM_FirewallWalk, ufw, "ufw")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepeats);
BENCHMARK_CAPTURE(BM_FirewallWalk, firewalld, "firewalld-policy")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepeats);

// What the listener asks before it answers a client: the route back from the address the client
// reached, and whether its adapter is a dial-up connection's, over the in-memory service with as
// many connections as given, and over the machine's own service with a veth pair of the
// namespace beside loopback.
void BM_ClientRule(benchmark::State& state, bool bMachineService)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_ptr<CRegisteredService> pRegistration;
    if (bMachineService) {
        std::system("ip link add tlr-a type veth peer name tlr-b");
        pRegistration = std::make_unique<CRegisteredService>(CLinuxSharingService::Machine());
    } else {
        const auto pService = CMemorySharingService::Create();
        for (int i = 0; i < state.range(0); ++i) {
            CMemorySharingService::SConnection connection;
            connection.strName = L"Connection " + std::to_wstring(i);
            connection.MediaType = i == 0 ? NCM_PHONE : NCM_LAN;
            pService->AddConnection(connection);
        }
        pRegistration = std::make_unique<CRegisteredService>(pService);
    }
    CSharedConnections connections;
    connections.With([](CMyNetConnection& manager) { return manager.QueryConnections(); });
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = Winsock::inet_addr("127.0.0.1");
    for (auto _ : state)
        benchmark::DoNotOptimize(CClientRule::UplinkTowards(loopback, loopback, connections));
    connections.With([](CMyNetConnection& manager) { manager.ReleaseService(); });
    pRegistration.reset();
    CoUninitialize();
    if (bMachineService)
        std::system("ip link del tlr-a");
}
BENCHMARK_CAPTURE(BM_ClientRule, memory, false)
    ->Arg(2)
    ->Arg(10)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepeats);
BENCHMARK_CAPTURE(BM_ClientRule, linux, true)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(kRepeats);

double ProcessCpuMs()
{
    timespec time{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

// The machine's service shares a veth of the namespace; another program (nft) flushes the rule
// set, and the time until the service has put its table back is taken, from before nft starts
// to the service's word. Then the process's processor time while the watch waits for 10 s, and
// what of the first figure is nft's own run.
void MeasureKeptSharing(std::FILE* pFigures)
{
    if (std::system("ip link add tlb-up type veth peer name tlb-peer && ip link set tlb-up up && "
                    "ip link set tlb-peer up") != 0)
        return;
    CLinuxSharingService::SOptions options;
    options.DialupInterfaces = {"tlb-up"};
    // Every flush is put back: none is taken for a program that keeps undoing the sharing.
    options.UndoneWindow = std::chrono::seconds(0);
    const auto pService = CLinuxSharingService::Create(options);
    const HANDLE hRestored = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    pService->SetAdviceEvent(hRestored);
    std::vector<double> restores;
    if (SUCCEEDED(pService->EnableSharing("tlb-up", ICSSHARINGTYPE_PUBLIC))) {
        for (int i = 0; i < 10; ++i) {
            const auto start = std::chrono::steady_clock::now();
            if (std::system("nft flush ruleset") != 0 ||
                WaitForSingleObject(hRestored, 10000) != WAIT_OBJECT_0)
                break;
            restores.push_back(MsSince(start));
            CLinuxSharingService::SAdvice advice;
            while (pService->TakeAdvice(advice)) {
            }
        }
        const double dBefore = ProcessCpuMs();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        PrintFigure("Idle CPU over 10 s, the sharing watched", {ProcessCpuMs() - dBefore}, "ms",
                    10.0, pFigures);
        pService->DisableSharing("tlb-up");
    }
    if (!restores.empty())
        PrintFigure("A flushed rule set to the sharing restored (nft's run included)", restores,
                    "ms", 100.0, pFigures);
    std::vector<double> flushes;
    for (int i = 0; i < 10; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::system("nft flush ruleset");
        flushes.push_back(MsSince(start));
    }
    PrintFigure("nft flush ruleset alone", flushes, "ms", -1.0, pFigures);
    pService->SetAdviceEvent(nullptr);
    CloseHandle(hRestored);
    std::system("ip link del tlb-up");
}

} // namespace

// Prints each benchmark's median and spread over its repetitions as figures, with its bound.
class CFigureReporter : public benchmark::BenchmarkReporter
{
public:
    explicit CFigureReporter(std::FILE* pOut) : m_pOut(pOut) {}

    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            SSamples& samples = m_Samples[Title(run.run_name.str())];
            samples.strUnit = benchmark::GetTimeUnitString(run.time_unit);
            samples.times.push_back(run.GetAdjustedRealTime());
            for (const auto& [strName, counter] : run.counters)
                samples.counters[strName].push_back(counter.value);
        }
    }

    void Finalize() override
    {
        bool bHeapReported = false;
        for (const auto& [strName, samples] : m_Samples) {
            PrintFigure(strName, samples.times, samples.strUnit, TimeBound(strName), m_pOut);
            if (samples.counters.count("heap_bytes_per_entry") != 0 && !bHeapReported) {
                PrintFigure("Heap per log entry (full log)",
                            samples.counters.at("heap_bytes_per_entry"), "bytes", 200, m_pOut);
                bHeapReported = true;
            }
        }
    }

private:
    struct SSamples {
        std::string strUnit;
        std::vector<double> times;
        std::map<std::string, std::vector<double>> counters;
    };

    // The figure's name in the table: the benchmark's, without its prefix and repetitions.
    static std::string Title(std::string strName)
    {
        const std::size_t nRepeats = strName.find("/repeats:");
        if (nRepeats != std::string::npos)
            strName.erase(nRepeats);
        return strName.rfind("BM_", 0) == 0 ? strName.substr(3) : strName;
    }

    static double TimeBound(const std::string& strTitle)
    {
        // The walk must stay well below the 50 ms that every request waits anyway.
        if (strTitle.starts_with("FirewallWalk/"))
            return 10.0;
        // A client's wait for its reply grows by the rule's time.
        if (strTitle.starts_with("ClientRule/"))
            return 500.0;
        const bool bBounded =
            strTitle == "BuildConnectionListReply/256" || strTitle == "ReadConnectionListReply";
        return bBounded ? 100.0 : -1.0;
    }

    std::FILE* m_pOut;
    std::map<std::string, SSamples> m_Samples;
};

int main(int argc, char** argv)
{
    // The log also goes to standard output: the figures go to a copy of it instead.
    std::FILE* pFigures = ::fdopen(::dup(STDOUT_FILENO), "w");
    std::freopen("/dev/null", "w", stdout);
    CUiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    CFigureReporter reporter(pFigures);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    MeasureKeptSharing(pFigures);
    return 0;
}
