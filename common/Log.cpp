// SPDX-License-Identifier: GPL-3.0-or-later
#include "Log.h"

#include "MessageBox.h"
#include "PageKeys.h"

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

void CLog::ShowEntries(const std::vector<SLogEntry>& entries)
{
    if (IsOnWindowThread()) {
        AppendOrKeep(entries);
        return;
    }
    // From another thread the entries follow on the window's thread, each hand-over in its turn
    // among the calls posted there. Under the pending lock, so that the window cannot be made and
    // its pending entries taken between a post that failed for want of a window and the keeping.
    std::lock_guard lock(m_PendingMutex);
    if (!PostCall([this, entries] { AppendOrKeep(entries); }))
        m_PendingEntries.insert(m_PendingEntries.end(), entries.begin(), entries.end());
}

void CLog::AppendOrKeep(const std::vector<SLogEntry>& entries)
{
    if (!m_LogList.IsWindow()) {
        std::lock_guard lock(m_PendingMutex);
        m_PendingEntries.insert(m_PendingEntries.end(), entries.begin(), entries.end());
        return;
    }
    for (const SLogEntry& entry : entries)
        AppendEntry(entry);
}

void CLog::AppendPendingEntries()
{
    std::deque<SLogEntry> entries;
    {
        std::lock_guard lock(m_PendingMutex);
        entries.swap(m_PendingEntries);
    }
    for (const SLogEntry& entry : entries)
        AppendEntry(entry);
}

void CLog::AppendEntry(const SLogEntry& entry)
{
    const int nRow = m_LogList.GetItemCount();
    m_LogList.InsertItem(nRow, entry.strTimestamp);
    m_LogList.SetItemText(nRow, 1, entry.strText);
    // Only the newest entries are kept, so that a long-running program does not grow without end.
    if (m_LogList.GetItemCount() > kMaxEntries)
        m_LogList.DeleteItem(0);
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
