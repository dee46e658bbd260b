// SPDX-License-Identifier: GPL-3.0-or-later
// CLog: the Log page of both programs, a two-column list of timestamped entries, newest at the
// bottom. The two programs' variants differ in their control ids, their buttons, and whether
// Enter and Escape are filtered (server) or left to the standard dialog keys (client).
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"

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

class CLog : public CDialog
{
public:
    static constexpr UINT IDD = 131;
    static constexpr int kMaxEntries = 100000;
    static constexpr int kDateTimeWidth = 110; // pixels
    static constexpr int kMessageWidth = 330;  // pixels

    explicit CLog(const SLogVariant& variant, CWnd* pParent = nullptr);

    // Callable from any thread without waiting for the window's thread: each entry appears
    // whole, with the time of its call, and a thread's entries in the order of its calls.
    // Entries made before the page has its window appear when it gets one.
    // A warning (a failure, a refusal) is an entry like any other, but for the journal.
    enum class EPriority { Info, Warning };
    void AddEntry(std::string strText, EPriority priority = EPriority::Info);
    static std::string FormatTimestamp(std::time_t time);

    // While it lives, the entries that the calling thread (not the window's) adds are kept, and
    // then go to the window in one call: the window's work for them then takes no processor from
    // a client that is waiting for its reply.
    class CEntryHold
    {
    public:
        explicit CEntryHold(CLog& log) : m_Log(log) { m_Log.HoldEntries(); }
        ~CEntryHold() { m_Log.ReleaseEntries(); }
        CEntryHold(const CEntryHold&) = delete;
        CEntryHold& operator=(const CEntryHold&) = delete;

    private:
        CLog& m_Log;
    };

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
    void HoldEntries();
    void ReleaseEntries();
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
