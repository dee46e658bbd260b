// SPDX-License-Identifier: GPL-3.0-or-later
// The real tarnlow-server as a separate process and the client's window, together in a private
// loopback-only network namespace, where the server has its default port 10000 to itself.
#include "ClientResources.h"
#include "ProcessRunner.h"
#include "TarnlowClientDlg.h"
#include "UiTestSupport.h"
#include "client/resource.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace
{

using namespace std::chrono_literals;

class ProgramsTogetherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_pServer =
            std::make_unique<CProcessRunner>(TARNLOW_SERVER_PATH, "together-server-stderr.log");
        ASSERT_TRUE(m_pServer->WaitForLine("Waiting for a socket event", 10s));
        CResources::SetCurrent(&ClientResources());
        m_pClient = std::make_unique<CTarnlowClientDlg>();
        ASSERT_TRUE(m_pClient->Create(CTarnlowClientDlg::IDD));
        qobject_cast<QLineEdit*>(m_pClient->m_pCommsPage->GetDlgItem(IDC_SERVER_IP_ADDRESS))
            ->setText("127.0.0.1");
    }

    void TearDown() override
    {
        CMenu::SetTrackHook(nullptr);
        m_pClient->SendMessage(WM_CLOSE);
        m_pClient.reset();
        CResources::SetCurrent(nullptr);
        m_pServer->Signal(SIGTERM);
        EXPECT_NE(m_pServer->WaitForExit(10s), -1);
    }

    void Connect()
    {
        QTest::mouseClick(qobject_cast<QPushButton*>(m_pClient->GetDlgItem(IDC_CONNECT)),
                          Qt::LeftButton);
        m_pClient->m_pExchange->Worker().WaitUntilIdle();
        QCoreApplication::processEvents();
    }

    // Chooses a command from the context menu of a row, and waits for its exchanges.
    void Choose(int nRow, UINT nCommand)
    {
        m_pClient->m_tabCtrl.ShowPage(0);
        ClickRow(m_pClient->m_pConnectionsPage->m_ConnectionList, nRow);
        CMenu::SetTrackHook([nCommand](const CMenu& menu, POINT) {
            return menu.IsEnabled(nCommand) ? nCommand : 0;
        });
        QWidget* pPage = m_pClient->m_pConnectionsPage->GetSafeHwnd();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                pPage->mapToGlobal(QPoint(5, 5)));
        const int nTaken = m_pClient->m_pExchange->Worker().TakenJobs();
        QApplication::sendEvent(pPage, &event);
        // The command reaches the worker through the window's messages: its exchange has started
        // before the wait for the worker to be idle means anything.
        ASSERT_TRUE(WaitFor([&] { return m_pClient->m_pExchange->Worker().TakenJobs() > nTaken; }));
        m_pClient->m_pExchange->Worker().WaitUntilIdle();
        QCoreApplication::processEvents();
    }

    std::string Shared(int nRow)
    {
        return m_pClient->m_pConnectionsPage->m_ConnectionList.GetItemText(nRow, 3);
    }
    std::string LastLogEntry()
    {
        CListCtrl& log = m_pClient->m_pLogPage->m_LogList;
        return log.GetItemText(log.GetItemCount() - 1, 1);
    }

    std::unique_ptr<CProcessRunner> m_pServer;
    std::unique_ptr<CTarnlowClientDlg> m_pClient;
};

} // namespace

TEST_F(ProgramsTogetherTest, connectListsTheServersConnections)
{
    Connect();
    CListCtrl& list = m_pClient->m_pConnectionsPage->m_ConnectionList;
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.GetItemText(0, 0), "Local Area Connection");
    EXPECT_EQ(list.GetItemText(0, 1), "Lan");
    EXPECT_EQ(list.GetItemText(0, 2), "Connected");
    EXPECT_EQ(list.GetItemText(1, 0), "My ISP");
    EXPECT_EQ(list.GetItemText(1, 1), "Dialup");
    EXPECT_EQ(list.GetItemText(1, 2), "Disconnected");
    EXPECT_EQ(Shared(1), "No");
}

TEST_F(ProgramsTogetherTest, shareAndDisableTheDialupConnection)
{
    Connect();
    Choose(1, 32771);
    EXPECT_EQ(Shared(1), "Yes");
    EXPECT_TRUE(m_pServer->WaitForLine("Share request for connection 1", 5s));
    Choose(1, 32772);
    EXPECT_EQ(Shared(1), "No");
    EXPECT_TRUE(m_pServer->WaitForLine("Unshare request for connection 1", 5s));
}

TEST_F(ProgramsTogetherTest, sharingTheLanConnectionFailsAndChangesNothing)
{
    Connect();
    const int nBefore = m_pClient->m_pLogPage->m_LogList.GetItemCount();
    Choose(0, 32771);
    CListCtrl& log = m_pClient->m_pLogPage->m_LogList;
    bool bFailedLogged = false;
    for (int i = nBefore; i < log.GetItemCount(); ++i)
        bFailedLogged = bFailedLogged || log.GetItemText(i, 1).find(
                                             ":Failed received from Verrow") != std::string::npos;
    EXPECT_TRUE(bFailedLogged);
    EXPECT_EQ(Shared(0), "No");
    EXPECT_EQ(Shared(1), "No");
    EXPECT_NE(LastLogEntry().find(" received from Verrow"), std::string::npos);
}
