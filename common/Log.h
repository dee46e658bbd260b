// SPDX-License-Identifier: GPL-3.0-or-later
// CLog: the Log page of both programs, a two-column list of timestamped entries, newest at the
// bottom. The two programs' variants differ in their control ids, their buttons, and whether
// Enter and Escape are filtered (server) or left to the standard dialog keys (client). It is a
// view of the program's log (CLogFanOut), which stamps and writes out each entry.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"
#include "LogFanOut.h"

#include <deque>
#include <mutex>
#include <vector>

struct SLogVariant {
    int nListId;
    int nClearId;
    int nPrintId; // 0: no Print button
    int nSaveId;  // 0: no Save button
    bool bKeyFilter;
};

class CLog : public CDialog, public ILogView
{
public:
    static constexpr UINT IDD = 131;
    static constexpr int kMaxEntries = 100000;
    static constexpr int kDateTimeWidth = 110; // pixels
    static constexpr int kMessageWidth = 330;  // pixels

    explicit CLog(const SLogVariant& variant, CWnd* pParent = nullptr);

    // Callable from any thread without waiting for the window's thread: on the window's thread
    // the entries are added at once; from another they follow on the window's thread, in their
    // turn among the calls posted there. Entries shown before the page has its window appear
    // when it gets one.
    void ShowEntries(const std::vector<SLogEntry>& entries) override;

    void OnBnClickedClear();
    void OnBnClickedPrint();
    void OnBnClickedSave();

    CListCtrl m_LogList;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

private:
    void AppendOrKeep(const std::vector<SLogEntry>& entries);
    // Adds the entries kept while the page had no window.
    void AppendPendingEntries();
    void AppendEntry(const SLogEntry& entry);

    SLogVariant m_Variant;
    std::mutex m_PendingMutex;
    std::deque<SLogEntry> m_PendingEntries;
};
