// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the work behind each request and each log entry: building the connection
// list reply, reading one, recognising requests, adding an entry to a full log, and the walk
// through other firewalls that follows a Share on Linux.
#include "ControlProtocol.h"
#include "Figures.h"
#include "FirewallCheck.h"
#include "FirewallRecording.h"
#include "ServerWindowFixture.h"
#include "UiApplication.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <map>

using namespace ControlProtocol;

namespace
{

constexpr int kRepeats = 5;

void BM_BuildConnectionListReply(benchmark::State& state)
{
    CServerWindowFixture server(static_cast<int>(state.range(0)));
    std::string strReply;
    for (auto _ : state) {
        strReply = server.Dlg().ConnectionListReply();
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

// AddEntry on the window's thread into a full log of 100,000 rows, so that every entry also
// drops the oldest: the call alone, and with the window's work that follows (layout and paint of
// the list, as the event loop does between entries). The heap that the rows take is reported per
// entry.
void BM_AddEntryToFullLog(benchmark::State& state)
{
    CServerWindowFixture server(2);
    CLog& log = *server.Dlg().m_pLogPage;
    const bool bWithWindowWork = state.range(0) != 0;
    const std::size_t nHeapBefore = HeapInUse();
    const int nFirstRow = log.m_LogList.GetItemCount();
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
        const bool bBounded =
            strTitle == "BuildConnectionListReply/256" || strTitle == "ReadConnectionListReply";
        return bBounded ? 100.0 : -1.0;
    }

    std::FILE* m_pOut;
    std::map<std::string, SSamples> m_Samples;
};

int main(int argc, char** argv)
{
    // Headless, the log also goes to standard output: the figures go to a copy of it instead.
    std::FILE* pFigures = ::fdopen(::dup(STDOUT_FILENO), "w");
    std::freopen("/dev/null", "w", stdout);
    CUiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    CFigureReporter reporter(pFigures);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
