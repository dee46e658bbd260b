// SPDX-License-Identifier: GPL-3.0-or-later
// CLog: the Log page of both programs, a two-column list of timestamped entries, newest at the
// bottom. The two programs' variants differ in their control ids, their buttons, and whether
// Enter and Escape are filtered (server) or left to the standard dialog keys (client).
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "LogSink.h"

#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SLogVariant {
    int nListId;
    int nClearId;
    int nPrintId; // 0: no Print button
    int nSaveId;  // 0: no Save button
    bool bKeyFilter;
};

class CLog : public CDialog, public ILogSink
{
public:
    static constexpr UINT IDD = 131;
    static constexpr int kMaxEntries = 100000;
    static constexpr int kDateTimeWidth = 110; // pixels
    static constexpr int kMessageWidth = 330;  // pixels

    explicit CLog(const SLogVariant& variant, CWnd* pParent = nullptr);

    // Callable from any thread without waiting for the window's thread: each entry appears
    // whole, with the time of its call, and a thread's entries in the order of its calls.
    // Entries made before the page has its window appear when it gets one. The window's own
    // thread holds none of its entries.
    void AddEntry(std::string strText, EPriority priority = EPriority::Info) override;
    static std::string FormatTimestamp(std::time_t time);

    void OnBnClickedClear();
    void OnBnClickedPrint();
    void OnBnClickedSave();

    CListCtrl m_LogList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

private:
    struct SEntry {
        std::string strTimestamp;
        std::string strText;
        EPriority Priority;
    };
    void HoldEntries() override;
    void ReleaseEntries() override;
    void AppendPendingEntries();
    void AppendOrKeep(const SEntry& entry);
    void KeepPending(const SEntry& entry);
    void AppendEntry(const SEntry& entry);

    SLogVariant m_Variant;
    std::mutex m_PendingMutex;
    std::deque<SEntry> m_PendingEntries;
    std::thread::id m_HoldingThread;
    std::vector<SEntry> m_HeldEntries;
};
