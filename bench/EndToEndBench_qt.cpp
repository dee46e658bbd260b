// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end and footprint figures of the real programs: the real tarnlow-server as a child
// process, requests over loopback, and the client's window in this process pressing Connect.
// Runs inside a loopback-only network namespace, where the server has port 10000 to itself.
#include "ClientResources.h"
#include "ControlProtocol.h"
#include "Figures.h"
#include "LoopbackClient.h"
#include "ProcessRunner.h"
#include "TarnlowClientDlg.h"
#include "UiApplication.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <dirent.h>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace
{

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr unsigned short kServerPort = 10000;
constexpr int kRepeats = 3;
constexpr int kRequestsEach = 200;
constexpr double kFloorMs = 50.0;
const char* const kStderrPath = "tarnlow-server-bench-stderr.log";

// A field of a process's memory, in MB: from its status (VmRSS, resident) or from its mappings'
// sum (Pss, its share of the pages it shares with other processes).
double MemoryMb(pid_t nPid, const char* pszFile, const std::string& strField)
{
    std::ifstream status("/proc/" + std::to_string(nPid) + "/" + pszFile);
    std::string strLine;
    while (std::getline(status, strLine)) {
        if (strLine.rfind(strField, 0) == 0)
            return std::stod(strLine.substr(strField.size())) / 1024.0;
    }
    return 0.0;
}

double ResidentMb(pid_t nPid)
{
    return MemoryMb(nPid, "status", "VmRSS:");
}

double ProportionalMb(pid_t nPid)
{
    return MemoryMb(nPid, "smaps_rollup", "Pss:");
}

// CPU time of each of a process's threads so far, in ms (the scheduler's own nanosecond count).
std::map<std::string, double> ThreadCpuMs(pid_t nPid)
{
    const std::string strTasks = "/proc/" + std::to_string(nPid) + "/task";
    std::map<std::string, double> cpuMs;
    DIR* pDir = ::opendir(strTasks.c_str());
    while (const dirent* pEntry = pDir != nullptr ? ::readdir(pDir) : nullptr) {
        std::ifstream schedstat(strTasks + "/" + pEntry->d_name + "/schedstat");
        double dRunNs = 0.0;
        if (pEntry->d_name[0] != '.' && schedstat >> dRunNs)
            cpuMs[pEntry->d_name] = dRunNs / 1e6;
    }
    if (pDir != nullptr)
        ::closedir(pDir);
    return cpuMs;
}

// The CPU time that a process's threads used between two readings; a thread that ended in
// between counts with what it had used by the first.
double CpuMsBetween(const std::map<std::string, double>& before,
                    const std::map<std::string, double>& after)
{
    double dMs = 0.0;
    for (const auto& [strThread, dAfterMs] : after) {
        const auto it = before.find(strThread);
        dMs += dAfterMs - (it != before.end() ? it->second : 0.0);
    }
    return dMs;
}

// The server measured: the Linux build, or with --wine a command that runs the Windows build.
std::string g_strServerPath = TARNLOW_SERVER_PATH;

std::unique_ptr<CProcessRunner> StartServer(double* pStartMs = nullptr)
{
    const Clock::time_point start = Clock::now();
    auto pServer = std::make_unique<CProcessRunner>(g_strServerPath, kStderrPath);
    pServer->WaitForLine("Listening for clients", 10s);
    if (pStartMs != nullptr)
        *pStartMs = MsSince(start);
    pServer->WaitForLine("Waiting for a socket event", 10s);
    return pServer;
}

void StopServer(CProcessRunner& server)
{
    server.Signal(SIGTERM);
    server.WaitForExit(10s);
}

// Start and memory of the server; with a memory bound, its proportional memory too.
void MeasureFootprint(const std::string& strPrefix = {}, double dStartBoundMs = 400,
                      double dMemoryBoundMb = 60, bool bProportional = false)
{
    std::vector<double> startMs;
    std::vector<double> residentMb;
    std::vector<double> proportionalMb;
    for (int i = 0; i < 5; ++i) {
        double dStartMs = 0.0;
        std::unique_ptr<CProcessRunner> pServer = StartServer(&dStartMs);
        std::this_thread::sleep_for(200ms);
        startMs.push_back(dStartMs);
        residentMb.push_back(ResidentMb(pServer->Pid()));
        proportionalMb.push_back(ProportionalMb(pServer->Pid()));
        StopServer(*pServer);
    }
    PrintFigure(strPrefix + "Start to \"Listening for clients\"", startMs, "ms", dStartBoundMs);
    PrintFigure(strPrefix + "Resident memory after start", residentMb, "MB", dMemoryBoundMb);
    if (bProportional)
        PrintFigure(strPrefix + "Proportional memory after start", proportionalMb, "MB",
                    dMemoryBoundMb);
}

void MeasureIdleCpu(CProcessRunner& server, const std::string& strName)
{
    std::vector<double> cpuMs;
    for (int i = 0; i < kRepeats; ++i) {
        const std::map<std::string, double> before = ThreadCpuMs(server.Pid());
        std::this_thread::sleep_for(10s);
        cpuMs.push_back(CpuMsBetween(before, ThreadCpuMs(server.Pid())));
    }
    PrintFigure(strName, cpuMs, "ms", 10);
}

// Round trips of one request, connect to the server's close, over several runs. Every fourth
// request is preceded by the same 50 ms pause in this process, so that what the machine itself
// adds to a pause at that time is measured in the same run; our overhead is also given as a
// ratio to that.
// With a p50 bound of its own, the round trips are another platform's: no bound for the p99
// and the ratio, which are this machine's Linux figures.
void MeasureRoundTrips(const std::string& strName, const std::string& strRequest,
                       unsigned short nPort = kServerPort, double dP50BoundMs = -1.0)
{
    const bool bLinux = dP50BoundMs < 0.0;
    std::vector<double> p50;
    std::vector<double> p99;
    std::vector<double> pauseP50;
    std::vector<double> ratio;
    std::vector<double> perSecond;
    for (int r = 0; r < kRepeats; ++r) {
        std::vector<double> samples;
        std::vector<double> pauses;
        double dExchangeMs = 0.0;
        for (int i = 0; i < kRequestsEach; ++i) {
            if (i % 4 == 0) {
                const Clock::time_point pauseStart = Clock::now();
                Sleep(static_cast<DWORD>(kFloorMs));
                pauses.push_back(MsSince(pauseStart) - kFloorMs);
            }
            const Clock::time_point start = Clock::now();
            Exchange(strRequest, nPort);
            samples.push_back(MsSince(start));
            dExchangeMs += samples.back();
        }
        perSecond.push_back(kRequestsEach * 1000.0 / dExchangeMs);
        p50.push_back(Percentile(samples, 0.5) - kFloorMs);
        p99.push_back(Percentile(samples, 0.99) - kFloorMs);
        pauseP50.push_back(Percentile(pauses, 0.5));
        ratio.push_back(p50.back() / std::max(pauseP50.back(), 0.001));
    }
    PrintFigure(strName + ": p50 over the 50 ms floor", p50, "ms", bLinux ? 0.5 : dP50BoundMs);
    PrintFigure(strName + ": p99 over the 50 ms floor", p99, "ms", bLinux ? 2 : -1.0);
    PrintFigure(strName + ": a bare 50 ms pause meanwhile, p50 over", pauseP50, "ms");
    PrintFigure(strName + ": p50 over the floor / the bare pause's", ratio, "x", bLinux ? 3 : -1.0);
    PrintFigure(strName + ": sequential throughput", perSecond, "req/s");
}

// The least that any server of this protocol does, in a thread of this process: wait for a
// connection, accept it, pause, receive, reply and close. Its round trips are the machine's own
// floor for an exchange, beside the bare pause's.
void MeasureMinimalServer()
{
    constexpr unsigned short kMinimalPort = 10001;
    const int nListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kMinimalPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(nListener, SOMAXCONN);
    std::thread server([nListener] {
        for (;;) {
            pollfd fd{nListener, POLLIN, 0};
            ::poll(&fd, 1, -1);
            const int s = ::accept(nListener, nullptr, nullptr);
            if (s < 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            char cBuffer[2048];
            ::recv(s, cBuffer, sizeof cBuffer, MSG_DONTWAIT);
            ::send(s, "host:Hello", 10, MSG_NOSIGNAL);
            ::shutdown(s, SHUT_WR);
            ::close(s);
        }
    });
    MeasureRoundTrips("Minimal server in this process", "PC7:Hello", kMinimalPort);
    ::shutdown(nListener, SHUT_RDWR);
    server.join();
    ::close(nListener);
}

// Clients that connect at once, each sending a greeting; the server answers them one by one.
// Returns how many got no greeting back.
int RunBurst(int nClients)
{
    std::vector<int> sockets;
    for (int i = 0; i < nClients; ++i) {
        const int s = ConnectLoopback(kServerPort);
        if (s >= 0)
            ::send(s, "PC7:Hello", 9, MSG_NOSIGNAL);
        sockets.push_back(s);
    }
    int nUnanswered = 0;
    for (const int s : sockets) {
        // Each waits for all before it: 50 ms each, and a wide margin.
        const std::string strHello = std::string(":") + ControlProtocol::kHello;
        if (s < 0 || ReadUntilClosed(s, 60000).find(strHello) == std::string::npos)
            ++nUnanswered;
        if (s >= 0)
            ::close(s);
    }
    return nUnanswered;
}

void MeasureBurst(CProcessRunner& server)
{
    constexpr int kClients = 200;
    std::vector<double> unanswered;
    std::vector<double> perClientMs;
    for (int r = 0; r < kRepeats; ++r) {
        const Clock::time_point start = Clock::now();
        unanswered.push_back(RunBurst(kClients));
        perClientMs.push_back(MsSince(start) / kClients);
    }
    PrintFigure("Burst of 200 clients at once: unanswered", unanswered, "", 0);
    PrintFigure("Burst of 200 clients at once: time per client", perClientMs, "ms");
    MeasureIdleCpu(server, "Idle server CPU over 10 s after the bursts");
}

// The client's window in this process: press Connect, wait until the list is filled.
void MeasureClientConnect()
{
    CResources::SetCurrent(&ClientResources());
    auto pDlg = std::make_unique<CTarnlowClientDlg>();
    pDlg->Create(CTarnlowClientDlg::IDD);
    auto* pAddress = qobject_cast<QLineEdit*>(pDlg->m_pCommsPage->GetDlgItem(1001));
    pAddress->setText("127.0.0.1");
    auto* pConnect = qobject_cast<QPushButton*>(pDlg->GetDlgItem(1004));
    CListCtrl& list = pDlg->m_pConnectionsPage->m_ConnectionList;
    std::vector<double> connectMs;
    for (int i = 0; i < 20; ++i) {
        list.DeleteAllItems();
        const Clock::time_point start = Clock::now();
        QTest::mouseClick(pConnect, Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return list.GetItemCount() > 0; }, 5000))
            std::fprintf(stderr, "Connect %d did not fill the list within 5 s\n", i);
        connectMs.push_back(MsSince(start));
        pDlg->m_pExchange->Worker().WaitUntilIdle();
    }
    pDlg->SendMessage(WM_CLOSE);
    pDlg.reset();
    CResources::SetCurrent(nullptr);
    PrintFigure("Client Connect, press to filled list", connectMs, "ms", 110);
}

} // namespace

int main(int argc, char** argv)
{
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    CUiApplication application(argc, argv);
    // The Windows server under Wine beside the Linux one, in the same run: start, memory and
    // greeting.
    // The gateway's server without a toolkit beside the windowed one on Qt's offscreen
    // platform, in the same run: start, memory, idle CPU and greeting; then the greeting of a
    // command that runs the arm64 build under emulation, if given.
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--gateway") {
        for (const auto& [strPrefix, strPath] :
             {std::pair<std::string, std::string>{"Qt offscreen: ", argv[2]},
              {"Without a toolkit: ", argv[3]}}) {
            g_strServerPath = strPath;
            const bool bNox = strPrefix == "Without a toolkit: ";
            MeasureFootprint(strPrefix, bNox ? 5 : 400, bNox ? 5 : 60, true);
            std::unique_ptr<CProcessRunner> pServer = StartServer();
            MeasureIdleCpu(*pServer, strPrefix + "Idle server CPU over 10 s");
            MeasureRoundTrips(strPrefix + "Greeting", "PC7:Hello", kServerPort, 0.5);
            StopServer(*pServer);
        }
        if (argc == 5) {
            g_strServerPath = argv[4];
            std::unique_ptr<CProcessRunner> pServer = StartServer();
            MeasureRoundTrips("arm64 under qemu: Greeting", "PC7:Hello", kServerPort, 5);
            StopServer(*pServer);
        }
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--wine") {
        for (const auto& [strPrefix, strPath] :
             {std::pair<std::string, std::string>{"Linux: ", TARNLOW_SERVER_PATH},
              {"Wine: ", argv[2]}}) {
            g_strServerPath = strPath;
            const bool bWine = strPrefix == "Wine: ";
            MeasureFootprint(strPrefix, bWine ? 300 : 400);
            std::unique_ptr<CProcessRunner> pServer = StartServer();
            if (!pServer->WaitForLine("Waiting for a socket event", 0s)) {
                std::fprintf(stderr, "%sthe server did not start\n", strPrefix.c_str());
                return 1;
            }
            MeasureRoundTrips(strPrefix + "Greeting", "PC7:Hello", kServerPort, bWine ? 2 : 0.5);
            StopServer(*pServer);
        }
        return 0;
    }
    MeasureFootprint();
    std::unique_ptr<CProcessRunner> pServer = StartServer();
    MeasureIdleCpu(*pServer, "Idle server CPU over 10 s");
    MeasureMinimalServer();
    MeasureRoundTrips("Greeting", "PC7:Hello");
    MeasureRoundTrips("Connection list", "PC7:ConnectionList");
    MeasureRoundTrips("Share", "PC7:Share:1");
    MeasureBurst(*pServer);
    MeasureClientConnect();
    StopServer(*pServer);
    return 0;
}
