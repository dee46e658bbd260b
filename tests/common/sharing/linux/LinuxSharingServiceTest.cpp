// SPDX-License-Identifier: GPL-3.0-or-later
// The machine's own sharing service against the real kernel, inside a private network namespace
// that holds only the interfaces these tests make.
#include "LinuxSharingService.h"
#include "Kernel.h"
#include "SharingAdvice.h"
#include "SharingEnumeration.h"
#include "TestClock.h"
#include "TestDirectory_posix.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <net/if.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace
{

void Ip(const std::string& strArguments)
{
    ASSERT_EQ(std::system(("ip " + strArguments).c_str()), 0) << "ip " << strArguments;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream file(strPath);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

char Forwarding()
{
    std::ifstream file("/proc/sys/net/ipv4/ip_forward");
    char c = '?';
    file >> c;
    return c;
}

void SetForwarding(char c)
{
    std::ofstream file("/proc/sys/net/ipv4/ip_forward");
    file << c;
}

CNftSharingTable::SState TableInKernel()
{
    CNftSharingTable table;
    CNftSharingTable::SState state;
    EXPECT_EQ(table.Read(state), S_OK);
    return state;
}

constexpr const char* kThisBoot = "53c81be3-71d9-41a9-80a2-7f34cfd43b44";
constexpr const char* kEarlierBoot = "0f4e2a7c-2b1d-4c8e-9a55-e0b0d1c2f3a4";

class LinuxSharingServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Ip("link add tl-a type veth peer name tl-b");
        Ip("link add tl-br type bridge");
        Ip("tuntap add tl-tun mode tun");
        Ip("link set tl-a up");
        Ip("link set tl-br up");
        SetForwarding('0');
        ASSERT_FALSE(m_Directory.empty());
        std::ofstream(m_Directory / "boot_id") << kThisBoot << "\n";
        Use(CLinuxSharingService::Create(Dialup()));
    }

    void TearDown() override
    {
        ReleaseAll();
        m_pService.reset();
        CNftSharingTable().Remove();
        std::system("ip link del tl-a 2>/dev/null; ip link del tl-br 2>/dev/null;"
                    "ip link del tl-br2 2>/dev/null;"
                    "ip tuntap del tl-tun mode tun 2>/dev/null");
        if (m_hAdvised != nullptr)
            CloseHandle(m_hAdvised);
    }

    // A service as the unit runs it: it remembers its sharing in the test's directory, in the
    // test's boot.
    CLinuxSharingService::SOptions Remembering()
    {
        CLinuxSharingService::SOptions options = Dialup();
        options.strStateDirectory = m_Directory;
        options.strBootIdPath = m_Directory / "boot_id";
        // The clock stands still: however slow the machine, five undoings fall within a minute.
        options.pClock = &m_Clock;
        return options;
    }

    static CLinuxSharingService::SOptions Dialup()
    {
        CLinuxSharingService::SOptions options;
        options.DialupInterfaces = {"tl-a"};
        return options;
    }

    CSharingStateFile StateFile() const { return CSharingStateFile(m_Directory); }

    // What the service said, oldest first, each with whether it is a warning.
    std::vector<std::pair<std::wstring, bool>> Advice()
    {
        std::vector<std::pair<std::wstring, bool>> advice;
        CLinuxSharingService::SAdvice said;
        while (m_pService->TakeAdvice(said))
            advice.emplace_back(said.strText, said.bWarning);
        return advice;
    }

    // The advice that the service gives of its own accord once something is done behind its
    // back: it sets its event, whose wait stands for the service having acted.
    std::vector<std::pair<std::wstring, bool>> AdviceAfter(const char* pszCommand)
    {
        if (m_hAdvised == nullptr) {
            m_hAdvised = CreateEventA(nullptr, FALSE, FALSE, nullptr);
            m_pService->SetAdviceEvent(m_hAdvised);
        }
        EXPECT_EQ(std::system(pszCommand), 0) << pszCommand;
        EXPECT_EQ(WaitForSingleObject(m_hAdvised, 30000), WAIT_OBJECT_0) << pszCommand;
        return Advice();
    }

    void Use(std::shared_ptr<CLinuxSharingService> pService)
    {
        ReleaseAll();
        m_pService = std::move(pService);
        ASSERT_EQ(m_pService->CreateManager(IID_INetSharingManager,
                                            reinterpret_cast<void**>(&m_pManager)),
                  S_OK);
        ForEachItem(m_pManager, [this](const VARIANT& var) {
            INetConnection* pConnection = ConnectionOf(var);
            ASSERT_NE(pConnection, nullptr);
            m_Connections.push_back(pConnection);
            m_Names.push_back(Name(pConnection));
        });
    }

    void ReleaseAll()
    {
        for (INetConnection* pConnection : m_Connections)
            pConnection->Release();
        m_Connections.clear();
        m_Names.clear();
        if (m_pManager != nullptr)
            m_pManager->Release();
        m_pManager = nullptr;
    }

    INetConnectionProps* Props(INetConnection* pConnection)
    {
        INetConnectionProps* pProps = nullptr;
        EXPECT_EQ(m_pManager->get_NetConnectionProps(pConnection, &pProps), S_OK);
        return pProps;
    }

    std::wstring Name(INetConnection* pConnection)
    {
        INetConnectionProps* pProps = Props(pConnection);
        BSTR bstrName = nullptr;
        EXPECT_EQ(pProps->get_Name(&bstrName), S_OK);
        std::wstring strName = bstrName != nullptr ? bstrName : L"";
        SysFreeString(bstrName);
        pProps->Release();
        return strName;
    }

    INetConnection* Connection(const std::wstring& strName)
    {
        const auto it = std::find(m_Names.begin(), m_Names.end(), strName);
        EXPECT_NE(it, m_Names.end())
            << "no connection named " << std::string(strName.begin(), strName.end());
        return it == m_Names.end() ? nullptr : m_Connections[it - m_Names.begin()];
    }

    NETCON_STATUS Status(const std::wstring& strName)
    {
        INetConnectionProps* pProps = Props(Connection(strName));
        NETCON_STATUS status = NCS_CREDENTIALS_REQUIRED;
        EXPECT_EQ(pProps->get_Status(&status), S_OK);
        pProps->Release();
        return status;
    }

    NETCON_MEDIATYPE MediaType(const std::wstring& strName)
    {
        INetConnectionProps* pProps = Props(Connection(strName));
        NETCON_MEDIATYPE type = NCM_SHAREDACCESSHOST_RAS;
        EXPECT_EQ(pProps->get_MediaType(&type), S_OK);
        pProps->Release();
        return type;
    }

    // Runs one call on the connection's sharing configuration.
    template <typename TCall>
    HRESULT OnSharing(const std::wstring& strName, TCall call)
    {
        INetSharingConfiguration* pConfiguration = nullptr;
        EXPECT_EQ(m_pManager->get_INetSharingConfigurationForINetConnection(Connection(strName),
                                                                            &pConfiguration),
                  S_OK);
        const HRESULT hr = call(pConfiguration);
        pConfiguration->Release();
        return hr;
    }

    HRESULT Share(const std::wstring& strName)
    {
        return OnSharing(strName, [](INetSharingConfiguration* pConfiguration) {
            SHARINGCONNECTIONTYPE type = ICSSHARINGTYPE_PRIVATE;
            EXPECT_EQ(pConfiguration->get_SharingConnectionType(&type), S_OK);
            return pConfiguration->EnableSharing(type);
        });
    }

    HRESULT Unshare(const std::wstring& strName)
    {
        return OnSharing(strName, [](INetSharingConfiguration* pConfiguration) {
            return pConfiguration->DisableSharing();
        });
    }

    bool IsShared(const std::wstring& strName)
    {
        VARIANT_BOOL bShared = VARIANT_FALSE;
        EXPECT_EQ(OnSharing(strName,
                            [&](INetSharingConfiguration* pConfiguration) {
                                return pConfiguration->get_SharingEnabled(&bShared);
                            }),
                  S_OK);
        return bShared != VARIANT_FALSE;
    }

    std::shared_ptr<CLinuxSharingService> m_pService;
    INetSharingManager* m_pManager = nullptr;
    std::vector<INetConnection*> m_Connections;
    std::vector<std::wstring> m_Names;
    const CTestDirectory m_Temporary{"tarnlow-service"};
    const std::filesystem::path& m_Directory = m_Temporary.Path();
    HANDLE m_hAdvised = nullptr;
    CTestClock m_Clock;
};

TEST_F(LinuxSharingServiceTest, EveryInterfaceButLoopbackInTheKernelsOrder)
{
    std::vector<std::pair<unsigned, std::wstring>> expected;
    for (const wchar_t* pszName : {L"tl-a", L"tl-b", L"tl-br", L"tl-tun"}) {
        const std::string strName(pszName, pszName + std::wcslen(pszName));
        expected.emplace_back(if_nametoindex(strName.c_str()), pszName);
    }
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> expectedNames;
    for (const auto& [nIndex, strName] : expected)
        expectedNames.push_back(strName);
    EXPECT_EQ(m_Names, expectedNames);
}

TEST_F(LinuxSharingServiceTest, MediaTypesAndStatusesAreReadAfreshAtEveryQuestion)
{
    EXPECT_EQ(MediaType(L"tl-a"), NCM_PHONE); // the seam's dial-up
    EXPECT_EQ(MediaType(L"tl-b"), NCM_LAN);
    EXPECT_EQ(MediaType(L"tl-br"), NCM_BRIDGE);
    EXPECT_EQ(MediaType(L"tl-tun"), NCM_TUNNEL);
    EXPECT_EQ(Status(L"tl-a"), NCS_MEDIA_DISCONNECTED); // its peer is down
    EXPECT_EQ(Status(L"tl-b"), NCS_DISCONNECTED);
    EXPECT_EQ(Status(L"tl-br"), NCS_CONNECTED);
    EXPECT_EQ(Status(L"tl-tun"), NCS_DISCONNECTED);

    Ip("link set tl-b up");
    Ip("link set tl-tun up");
    EXPECT_EQ(Status(L"tl-a"), NCS_CONNECTED);
    EXPECT_EQ(Status(L"tl-b"), NCS_CONNECTED);
    EXPECT_EQ(Status(L"tl-tun"), NCS_MEDIA_DISCONNECTED); // no program holds it

    Ip("link set tl-a down");
    Ip("link set tl-a mode dormant");
    Ip("link set tl-a up");
    EXPECT_EQ(Status(L"tl-a"), NCS_CONNECTING);
}

// Within a reading (a refresh, a list) the service answers from what it read at the first
// question, until a change of its own, which is read again; another thread meanwhile, and any
// question after the reading, reads the kernel as it is.
TEST_F(LinuxSharingServiceTest, AReadingAnswersFromOneLookAtTheKernelUntilAChangeOrItsEnd)
{
    ITarnlowSharingAdvice* pAdvice = nullptr;
    ASSERT_EQ(
        m_pManager->QueryInterface(IID_ITarnlowSharingAdvice, reinterpret_cast<void**>(&pAdvice)),
        S_OK);
    Ip("link set tl-b up");
    EXPECT_EQ(pAdvice->BeginReading(), S_OK);
    EXPECT_EQ(Status(L"tl-a"), NCS_CONNECTED);
    EXPECT_FALSE(IsShared(L"tl-a"));
    Ip("link set tl-a down");
    ASSERT_EQ(CNftSharingTable().Replace("tl-a", false), S_OK); // behind the service's back
    EXPECT_EQ(Status(L"tl-a"), NCS_CONNECTED) << "as read at the first question";
    EXPECT_FALSE(IsShared(L"tl-a")) << "as read at the first question";
    NETCON_STATUS otherThread = NCS_CONNECTED;
    std::thread([&] { otherThread = Status(L"tl-a"); }).join();
    EXPECT_EQ(otherThread, NCS_DISCONNECTED);
    ASSERT_EQ(Share(L"tl-b"), S_OK);
    EXPECT_TRUE(IsShared(L"tl-b"));
    EXPECT_FALSE(IsShared(L"tl-a"));
    EXPECT_EQ(Status(L"tl-a"), NCS_DISCONNECTED) << "read again after the change";
    Ip("link set tl-a up");
    EXPECT_EQ(pAdvice->EndReading(), S_OK);
    EXPECT_EQ(Status(L"tl-a"), NCS_CONNECTED);
    pAdvice->Release();
}

TEST_F(LinuxSharingServiceTest, AnAliasNamesTheConnectionAndAGoneInterfaceIsNotPresent)
{
    Ip("link set tl-br alias 'B\xC3\xBCro LAN'");
    EXPECT_EQ(Name(Connection(L"tl-br")), L"B\u00FCro LAN");

    Ip("tuntap del tl-tun mode tun");
    EXPECT_EQ(Name(Connection(L"tl-tun")), L"tl-tun");
    EXPECT_EQ(Status(L"tl-tun"), NCS_HARDWARE_NOT_PRESENT);
    EXPECT_EQ(MediaType(L"tl-tun"), NCM_TUNNEL);
    Use(m_pService);
    EXPECT_EQ(std::count(m_Names.begin(), m_Names.end(), L"tl-tun"), 0);
    EXPECT_EQ(std::count(m_Names.begin(), m_Names.end(), L"B\u00FCro LAN"), 1);
}

// A connection is its interface's name: a link that goes and comes back under the name (a
// redial) is the same connection, with its alias, its status read live, and its sharing.
TEST_F(LinuxSharingServiceTest, ARedialledInterfaceIsTheSameConnection)
{
    Ip("link set tl-a alias 'My ISP'");
    Use(CLinuxSharingService::Create(Dialup()));
    ASSERT_EQ(Share(L"My ISP"), S_OK);
    Ip("link del tl-a");
    EXPECT_EQ(Status(L"My ISP"), NCS_HARDWARE_NOT_PRESENT);
    EXPECT_EQ(Name(Connection(L"My ISP")), L"My ISP");
    Ip("link add tl-a type veth peer name tl-b");
    Ip("link set tl-a up");
    Ip("link set tl-b up");
    EXPECT_EQ(Name(Connection(L"My ISP")), L"My ISP") << "the alias of the link before";
    EXPECT_EQ(Status(L"My ISP"), NCS_CONNECTED);
    EXPECT_EQ(MediaType(L"My ISP"), NCM_PHONE);
    EXPECT_TRUE(IsShared(L"My ISP"));
    EXPECT_EQ(Unshare(L"My ISP"), S_OK);
    // The link's own alias names it; taken from the link, it is taken from the connection.
    Ip("link set tl-a alias 'Other ISP'");
    EXPECT_EQ(Name(Connection(L"My ISP")), L"Other ISP");
    Ip("link set tl-a alias ''");
    EXPECT_EQ(Name(Connection(L"My ISP")), L"tl-a");
}

TEST_F(LinuxSharingServiceTest, SharingMasqueradesWithForwardingOnUntilUnshared)
{
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_EQ(Forwarding(), '1');
    const CNftSharingTable::SState state = TableInKernel();
    EXPECT_TRUE(state.bPresent);
    EXPECT_EQ(state.strInterface, "tl-a");
    EXPECT_FALSE(state.bForwardingWasOn);
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_FALSE(IsShared(L"tl-b"));

    // Stopping a sharing that is not there changes nothing.
    EXPECT_EQ(Unshare(L"tl-b"), S_OK);
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_EQ(Forwarding(), '1');

    ASSERT_EQ(Unshare(L"tl-a"), S_OK);
    EXPECT_FALSE(IsShared(L"tl-a"));
    EXPECT_FALSE(TableInKernel().bPresent);
    EXPECT_EQ(Forwarding(), '0');
}

TEST_F(LinuxSharingServiceTest, SharingAnotherReplacesTheFirstAndForwardingThatWasOnStaysOn)
{
    SetForwarding('1');
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    ASSERT_EQ(Share(L"tl-b"), S_OK);
    EXPECT_FALSE(IsShared(L"tl-a"));
    EXPECT_TRUE(IsShared(L"tl-b"));
    EXPECT_TRUE(TableInKernel().bForwardingWasOn);
    ASSERT_EQ(Unshare(L"tl-b"), S_OK);
    EXPECT_FALSE(TableInKernel().bPresent);
    EXPECT_EQ(Forwarding(), '1');
}

// The sharing holds through the service's own restart; a table left by an older version, which did
// not clamp the MSS, is brought up to date.
TEST_F(LinuxSharingServiceTest, ARestartedServiceReadsTheSharingBackFromTheKernel)
{
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    // The service ends; an older one had left its table without the MSS clamp.
    ReleaseAll();
    m_pService.reset();
    ASSERT_EQ(
        std::system("nft delete rule ip tarnlow forward handle $(nft -a list chain ip tarnlow "
                    "forward | grep maxseg | sed 's/.*handle //')"),
        0);
    ASSERT_FALSE(TableInKernel().bComplete);
    Use(CLinuxSharingService::Create(Remembering()));
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_TRUE(TableInKernel().bComplete);
    CSharingStateFile::SRecord record;
    EXPECT_TRUE(StateFile().Read(record)) << "the service remembers a sharing that it takes over";
    ASSERT_EQ(Unshare(L"tl-a"), S_OK);
    EXPECT_EQ(Forwarding(), '0'); // as it was before the first service shared
    EXPECT_FALSE(StateFile().Read(record));
}

// After a reboot the kernel holds no sharing: the service makes the one it remembers again, with
// forwarding "before" as this boot has it, and says so.
TEST_F(LinuxSharingServiceTest, ASharingRememberedFromAnotherBootIsMadeAgain)
{
    ASSERT_TRUE(StateFile().Write({"tl-a", kEarlierBoot}));
    Use(CLinuxSharingService::Create(Remembering()));
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_TRUE(TableInKernel().bComplete);
    EXPECT_EQ(Forwarding(), '1');
    EXPECT_EQ(Advice(), (std::vector<std::pair<std::wstring, bool>>{
                            {L"Shared tl-a again, as before the restart", false}}));
    CSharingStateFile::SRecord record;
    ASSERT_TRUE(StateFile().Read(record));
    EXPECT_EQ(record.strBootId, kThisBoot);

    ASSERT_EQ(Unshare(L"tl-a"), S_OK);
    EXPECT_EQ(Forwarding(), '0') << "as this boot found it";
    EXPECT_FALSE(StateFile().Read(record));
}

// A table gone in the boot it was made in was removed by hand while the service was stopped.
TEST_F(LinuxSharingServiceTest, ASharingRemovedInItsOwnBootIsForgotten)
{
    ASSERT_TRUE(StateFile().Write({"tl-a", kThisBoot}));
    Use(CLinuxSharingService::Create(Remembering()));
    EXPECT_FALSE(IsShared(L"tl-a"));
    EXPECT_FALSE(TableInKernel().bTable);
    EXPECT_EQ(Forwarding(), '0');
    EXPECT_TRUE(Advice().empty());
    CSharingStateFile::SRecord record;
    EXPECT_FALSE(StateFile().Read(record));
}

// Another program's flush of the rule set, an emptied or deleted table, and forwarding switched
// off are put right at once and said; the fifth undoing within the window is not fought, until
// the next share.
TEST_F(LinuxSharingServiceTest, ASharingThatAnotherProgramUndoesIsRestoredUntilItKeepsBeingUndone)
{
    Use(CLinuxSharingService::Create(Remembering()));
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_TRUE(Advice().empty()) << "its own change is not taken for another's";
    const std::pair<std::wstring, bool> restored{
        L"The sharing of tl-a was undone by nft, and is restored", true};
    for (const char* pszCommand :
         {"nft flush ruleset", "nft flush table ip tarnlow", "nft delete table ip tarnlow"}) {
        EXPECT_EQ(AdviceAfter(pszCommand), std::vector{restored}) << pszCommand;
        EXPECT_TRUE(TableInKernel().bComplete) << pszCommand;
        EXPECT_TRUE(IsShared(L"tl-a"));
    }
    EXPECT_EQ(AdviceAfter("echo 0 >/proc/sys/net/ipv4/ip_forward"),
              (std::vector<std::pair<std::wstring, bool>>{
                  {L"IPv4 forwarding was switched off, and is switched on again for the sharing "
                   L"of tl-a",
                   true}}));
    EXPECT_EQ(Forwarding(), '1');
    // The minute is the clock's: once it has passed, the undoings so far no longer count.
    m_Clock.Advance(std::chrono::minutes(1));
    for (std::size_t i = 1; i < CLinuxSharingService::kMaxUndone; ++i)
        EXPECT_EQ(AdviceAfter("nft flush ruleset"), std::vector{restored}) << i;

    EXPECT_EQ(AdviceAfter("nft flush ruleset"),
              (std::vector<std::pair<std::wstring, bool>>{
                  {L"The sharing of tl-a was undone 5 times within a minute by nft, and is no "
                   L"longer restored",
                   true}}));
    EXPECT_FALSE(IsShared(L"tl-a")) << "the list shows the truth";
    CSharingStateFile::SRecord record;
    EXPECT_TRUE(StateFile().Read(record)) << "the next boot shares it again";
    // Unless it is unshared: the service forgets it, and puts forwarding back as it was.
    ASSERT_EQ(Unshare(L"tl-a"), S_OK);
    EXPECT_EQ(Forwarding(), '0');
    EXPECT_FALSE(StateFile().Read(record));

    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_EQ(AdviceAfter("nft flush ruleset"), std::vector{restored});
    EXPECT_TRUE(IsShared(L"tl-a"));
}

// The kernel forwards what comes in by the input interface's own switch: the uplink's is part of
// the sharing and is switched on again; a LAN's may be its administrator's choice, and is said
// once, not fought. A switch that cannot be read (the uplink gone) is not taken for one off.
TEST_F(LinuxSharingServiceTest, TheUplinksOwnForwardingIsKeptAndALansIsSaidOnce)
{
    Ip("link add tl-br2 type bridge");
    Ip("link set tl-br2 up");
    Use(CLinuxSharingService::Create(Remembering()));
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_EQ(AdviceAfter("echo 0 >/proc/sys/net/ipv4/conf/tl-a/forwarding"),
              (std::vector<std::pair<std::wstring, bool>>{
                  {L"IPv4 forwarding was switched off on tl-a, and is switched on again for the "
                   L"sharing of tl-a",
                   true}}));
    EXPECT_EQ(ReadFile("/proc/sys/net/ipv4/conf/tl-a/forwarding"), "1\n");
    EXPECT_EQ(AdviceAfter("echo 0 >/proc/sys/net/ipv4/conf/tl-br/forwarding"),
              (std::vector<std::pair<std::wstring, bool>>{
                  {L"IPv4 forwarding is switched off on tl-br, so the LAN there does not get out "
                   L"through tl-a",
                   true}}));
    EXPECT_EQ(ReadFile("/proc/sys/net/ipv4/conf/tl-br/forwarding"), "0\n");
    // The uplink goes, and its switch with it: not read, it is not taken for one switched off.
    // The first LAN, still off, is not said again.
    Ip("link del tl-a");
    EXPECT_EQ(AdviceAfter("echo 0 >/proc/sys/net/ipv4/conf/tl-br2/forwarding"),
              (std::vector<std::pair<std::wstring, bool>>{
                  {L"IPv4 forwarding is switched off on tl-br2, so the LAN there does not get "
                   L"out through tl-a",
                   true}}));
    Ip("link del tl-br2");
}

// A table taken over at start forwards again, where forwarding was switched off meanwhile (a
// saved rule set loaded at boot, forwarding switched off while the server was stopped).
TEST_F(LinuxSharingServiceTest, ATableTakenOverWithForwardingOffForwardsAgain)
{
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    ReleaseAll();
    m_pService.reset();
    SetForwarding('0');
    Use(CLinuxSharingService::Create(Remembering()));
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_EQ(Forwarding(), '1');
    EXPECT_EQ(Advice(), (std::vector<std::pair<std::wstring, bool>>{
                            {L"IPv4 forwarding was off when the server started, and is switched "
                             L"on for the sharing of tl-a",
                             true}}));
}

// What undoes the sharing between its change and the watch's start is found once the watch
// listens.
TEST_F(LinuxSharingServiceTest, AnUndoingBeforeTheWatchListensIsFound)
{
    CLinuxSharingService::SOptions options = Remembering();
    options.BeforeWatching = [] { std::system("nft flush ruleset"); };
    Use(CLinuxSharingService::Create(options));
    m_hAdvised = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_pService->SetAdviceEvent(m_hAdvised);
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    ASSERT_EQ(WaitForSingleObject(m_hAdvised, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(Advice(), (std::vector<std::pair<std::wstring, bool>>{
                            {L"The sharing of tl-a was undone, and is restored", true}}));
    EXPECT_TRUE(TableInKernel().bComplete);
}

// A boot that cannot be told is not written into the record, where it would read back as damaged,
// nor taken for a new one at start, where it would make again what was removed by hand.
TEST_F(LinuxSharingServiceTest, ABootThatCannotBeToldIsNeitherWrittenNorTakenForANewOne)
{
    CLinuxSharingService::SOptions options = Remembering();
    options.strBootIdPath = m_Directory / "no-boot-id";
    Use(CLinuxSharingService::Create(options));
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_EQ(Advice(), (std::vector<std::pair<std::wstring, bool>>{
                            {L"The sharing of tl-a will not outlast a restart: it could not be "
                             L"saved",
                             true}}));
    CSharingStateFile::SRecord record;
    EXPECT_FALSE(StateFile().Read(record));
    ASSERT_EQ(Unshare(L"tl-a"), S_OK);

    ASSERT_TRUE(StateFile().Write({"tl-a", kEarlierBoot}));
    Use(CLinuxSharingService::Create(options));
    EXPECT_FALSE(TableInKernel().bTable);
    EXPECT_TRUE(StateFile().Read(record)) << "kept for a boot that can be told";
}

// One server of a network namespace keeps its sharing: another takes no table over, says why,
// and changes nothing while the first keeps one.
TEST_F(LinuxSharingServiceTest, OneServerOfANamespaceKeepsItsSharing)
{
    ASSERT_EQ(Share(L"tl-a"), S_OK);
    const std::shared_ptr<CLinuxSharingService> pSecond =
        CLinuxSharingService::Create(Remembering());
    INetSharingManager* pManager = nullptr;
    ASSERT_EQ(pSecond->CreateManager(IID_INetSharingManager, reinterpret_cast<void**>(&pManager)),
              S_OK);
    CLinuxSharingService::SAdvice said;
    ASSERT_TRUE(pSecond->TakeAdvice(said));
    EXPECT_EQ(said.strText, L"Another Tarnlow server keeps the sharing of this machine: this one "
                            L"leaves it to that one");
    EXPECT_EQ(pSecond->DisableSharing("tl-a"), E_ACCESSDENIED);
    EXPECT_TRUE(IsShared(L"tl-a"));
    // Once the first keeps nothing, the second may keep what it shares.
    ASSERT_EQ(Unshare(L"tl-a"), S_OK);
    EXPECT_EQ(pSecond->EnableSharing("tl-a", ICSSHARINGTYPE_PUBLIC), S_OK);
    EXPECT_EQ(Share(L"tl-a"), E_ACCESSDENIED);
    EXPECT_EQ(pSecond->DisableSharing("tl-a"), S_OK);
    pManager->Release();
}

TEST_F(LinuxSharingServiceTest, RequestsThatCannotBeCarriedOutChangeNothing)
{
    EXPECT_EQ(m_pService->EnableSharing("tl-a", ICSSHARINGTYPE_PRIVATE), E_INVALIDARG);
    EXPECT_EQ(m_pService->EnableSharing("ppp*", ICSSHARINGTYPE_PUBLIC), E_INVALIDARG);
    EXPECT_EQ(m_pService->EnableSharing("a\" masquerade", ICSSHARINGTYPE_PUBLIC), E_INVALIDARG);
    EXPECT_FALSE(TableInKernel().bPresent);
    EXPECT_EQ(Forwarding(), '0');
}

// A transaction is the process's own when one of its netfilter sockets sent it, whichever thread
// committed it: a table changed here, by another thread, is told from another program's.
TEST_F(LinuxSharingServiceTest, TheWatchTellsTheProcesssOwnTransactionsFromAnotherProgramsByPort)
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CSharingWatch::SChange> changes;
    CSharingWatch watch;
    ASSERT_TRUE(watch.Start([&](const CSharingWatch::SChange& change) {
        std::lock_guard lock(mutex);
        changes.push_back(change);
        changed.notify_all();
        return true;
    }));
    // The service's table, as its own, lives as long as the service.
    CNftSharingTable table;
    std::thread([&table] { table.Replace("tl-a", false); }).join();
    ASSERT_EQ(std::system("nft add table ip tl-other"), 0);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] {
        return !changes.empty() && changes.back().strProgram == "nft";
    }));
    for (const CSharingWatch::SChange& change : changes)
        EXPECT_EQ(change.strProgram, "nft") << "a change of its own was taken for another's";
    lock.unlock();
    watch.Stop();
    std::system("nft delete table ip tl-other");
}

// The description that a failed call left as COM error information.
std::wstring ErrorDescription()
{
    IErrorInfo* pInfo = nullptr;
    if (GetErrorInfo(0, &pInfo) != S_OK)
        return std::wstring();
    BSTR bstrDescription = nullptr;
    pInfo->GetDescription(&bstrDescription);
    std::wstring strDescription = bstrDescription != nullptr ? bstrDescription : L"";
    SysFreeString(bstrDescription);
    pInfo->Release();
    return strDescription;
}

// Runs the call in a child process that has given up CAP_NET_ADMIN; E_ACCESSDENIED when it was
// denied and said why.
template <typename TCall>
HRESULT WithoutNetAdmin(TCall call)
{
    const pid_t nPid = ::fork();
    if (nPid == 0) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
        if (::syscall(SYS_capset, &header, data) != 0)
            ::_exit(2);
        const bool bDenied = call() == E_ACCESSDENIED;
        ::_exit(bDenied && ErrorDescription() ==
                               L"the server does not have the CAP_NET_ADMIN capability"
                    ? 0
                    : 1);
    }
    int nStatus = 0;
    ::waitpid(nPid, &nStatus, 0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0 ? E_ACCESSDENIED : E_FAIL;
}

TEST_F(LinuxSharingServiceTest, WithoutNetAdminChangesAreDenied)
{
    EXPECT_EQ(WithoutNetAdmin([&] { return Share(L"tl-a"); }), E_ACCESSDENIED);
    EXPECT_FALSE(TableInKernel().bPresent);
    EXPECT_EQ(Forwarding(), '0');

    ASSERT_EQ(Share(L"tl-a"), S_OK);
    EXPECT_EQ(WithoutNetAdmin([&] { return Unshare(L"tl-a"); }), E_ACCESSDENIED);
    EXPECT_TRUE(IsShared(L"tl-a"));
    EXPECT_EQ(Forwarding(), '1');
}

// The manager's advice: what another firewall puts between the LAN's clients and the port, each
// warning taken once.
TEST_F(LinuxSharingServiceTest, TheManagerAdvisesOfWhatStopsTheClients)
{
    Ip("addr add 192.168.78.1/24 dev tl-br");
    ASSERT_EQ(std::system("nft 'add table inet tl-test; add chain inet tl-test input "
                          "{ type filter hook input priority 0; policy accept; };"
                          " add rule inet tl-test input tcp dport 10000 drop'"),
              0);
    ITarnlowSharingAdvice* pAdvice = nullptr;
    ASSERT_EQ(
        m_pManager->QueryInterface(IID_ITarnlowSharingAdvice, reinterpret_cast<void**>(&pAdvice)),
        S_OK);
    EXPECT_EQ(pAdvice->SetClientPort(10000), S_OK);
    BSTR bstrAdvice = nullptr;
    BOOL bWarning = FALSE;
    EXPECT_EQ(pAdvice->TakeAdvice(&bstrAdvice, &bWarning), S_OK);
    EXPECT_EQ(std::wstring(bstrAdvice != nullptr ? bstrAdvice : L""),
              L"Clients cannot reach port 10000: the firewall's table inet tl-test, chain input "
              L"stops them");
    EXPECT_EQ(bWarning, TRUE);
    SysFreeString(bstrAdvice);
    EXPECT_EQ(pAdvice->TakeAdvice(&bstrAdvice, &bWarning), S_FALSE);
    EXPECT_EQ(bstrAdvice, nullptr);
    pAdvice->Release();
    std::system("nft delete table inet tl-test");
}

} // namespace
