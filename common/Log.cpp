// SPDX-License-Identifier: GPL-3.0-or-later
#include "Log.h"

#include "Journal.h"

#include "Format.h"
#include "LocalTime.h"
#include "MessageBox.h"
#include "PageKeys.h"

#include <cstdio>

CLog::CLog(const SLogVariant& variant, CWnd* pParent) : CDialog(IDD, pParent), m_Variant(variant)
{
    MapCommand(m_Variant.nClearId, BN_CLICKED, &CLog::OnBnClickedClear);
    if (m_Variant.nPrintId != 0)
        MapCommand(m_Variant.nPrintId, BN_CLICKED, &CLog::OnBnClickedPrint);
    if (m_Variant.nSaveId != 0)
        MapCommand(m_Variant.nSaveId, BN_CLICKED, &CLog::OnBnClickedSave);
}

void CLog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, m_Variant.nListId, m_LogList);
}

BOOL CLog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_LogList.InsertColumn(0, "Date & Time", LVCFMT_LEFT, kDateTimeWidth);
    m_LogList.InsertColumn(1, "Message", LVCFMT_LEFT, kMessageWidth);
    AppendPendingEntries();
    return TRUE;
}

BOOL CLog::PreTranslateMessage(MSG* pMsg)
{
    if (m_Variant.bKeyFilter && FilterPageKeys(this, pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

std::string CLog::FormatTimestamp(std::time_t time)
{
    std::tm local{};
    LocalTime(time, local);
    return FormatText("%02d-%02d-%02d %02d:%02d:%02d", local.tm_mday, local.tm_mon + 1,
                      local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

void CLog::AddEntry(std::string strText, EPriority priority)
{
    const SEntry entry{FormatTimestamp(std::time(nullptr)), std::move(strText), priority};
    // From another thread the entry is queued to the window's thread and the caller goes on:
    // a thread's entries keep their order, and the listener never waits for the screen.
    if (IsOnWindowThread()) {
        AppendOrKeep(entry);
        return;
    }
    // Under the pending lock, so that the window cannot be made and its pending entries taken
    // between a post that failed for want of a window and the entry being kept.
    std::lock_guard lock(m_PendingMutex);
    if (std::this_thread::get_id() == m_HoldingThread)
        m_HeldEntries.push_back(entry);
    else if (!PostCall([this, entry] { AppendOrKeep(entry); }))
        m_PendingEntries.push_back(entry);
}

void CLog::HoldEntries()
{
    std::lock_guard lock(m_PendingMutex);
    m_HoldingThread = std::this_thread::get_id();
}

void CLog::ReleaseEntries()
{
    std::lock_guard lock(m_PendingMutex);
    m_HoldingThread = std::thread::id();
    if (m_HeldEntries.empty())
        return;
    std::vector<SEntry> entries;
    entries.swap(m_HeldEntries);
    const auto append = [this, entries] {
        for (const SEntry& entry : entries)
            AppendOrKeep(entry);
    };
    if (!PostCall(append))
        m_PendingEntries.insert(m_PendingEntries.end(), entries.begin(), entries.end());
}

void CLog::AppendOrKeep(const SEntry& entry)
{
    if (m_LogList.IsWindow())
        AppendEntry(entry);
    else
        KeepPending(entry);
}

void CLog::KeepPending(const SEntry& entry)
{
    std::lock_guard lock(m_PendingMutex);
    m_PendingEntries.push_back(entry);
}

void CLog::AppendPendingEntries()
{
    std::deque<SEntry> entries;
    {
        std::lock_guard lock(m_PendingMutex);
        entries.swap(m_PendingEntries);
    }
    for (const SEntry& entry : entries)
        AppendEntry(entry);
}

void CLog::AppendEntry(const SEntry& entry)
{
    const int nRow = m_LogList.GetItemCount();
    m_LogList.InsertItem(nRow, entry.strTimestamp);
    m_LogList.SetItemText(nRow, 1, entry.strText);
    // Only the newest entries are kept, so that a long-running program does not grow without end.
    if (m_LogList.GetItemCount() > kMaxEntries)
        m_LogList.DeleteItem(0);
    const Journal::EPriority priority = entry.Priority == EPriority::Warning
                                            ? Journal::EPriority::Warning
                                            : Journal::EPriority::Info;
    std::printf("%s%s %s\n", Journal::LinePrefix(priority, 1), entry.strTimestamp.c_str(),
                entry.strText.c_str());
    std::fflush(stdout);
}

void CLog::OnBnClickedClear()
{
    m_LogList.DeleteAllItems();
}

void CLog::OnBnClickedPrint()
{
    MessageBox(this, "Print the log", "WIP", MB_ICONINFORMATION | MB_OK);
}

void CLog::OnBnClickedSave()
{
    MessageBox(this, "Save the log", "WIP", MB_ICONINFORMATION | MB_OK);
}
