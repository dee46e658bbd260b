// SPDX-License-Identifier: GPL-3.0-or-later
#include "KernelReading.h"

void CKernelReading::Begin()
{
    std::lock_guard lock(m_Mutex);
    m_Holder = std::this_thread::get_id();
    m_Links.reset();
    m_Table.reset();
}

void CKernelReading::End()
{
    std::lock_guard lock(m_Mutex);
    if (m_Holder != std::this_thread::get_id())
        return;
    m_Holder.reset();
    m_Links.reset();
    m_Table.reset();
}

void CKernelReading::Drop()
{
    std::lock_guard lock(m_Mutex);
    ++m_nDrops;
    m_Links.reset();
    m_Table.reset();
}

bool CKernelReading::IsHeldHere()
{
    std::lock_guard lock(m_Mutex);
    return m_Holder == std::this_thread::get_id();
}

// The kernel is asked outside the lock, so that a drop never waits for it.
template <typename TValue, typename TRead>
bool CKernelReading::Read(std::optional<TValue>& kept, const TRead& read, TValue& value)
{
    unsigned long long nDrops = 0;
    {
        std::lock_guard lock(m_Mutex);
        if (m_Holder != std::this_thread::get_id())
            return read(value);
        if (kept) {
            value = *kept;
            return true;
        }
        nDrops = m_nDrops;
    }
    const bool bRead = read(value);
    std::lock_guard lock(m_Mutex);
    if (bRead && m_Holder == std::this_thread::get_id() && nDrops == m_nDrops)
        kept = value;
    return bRead;
}

bool CKernelReading::Links(const LinksReader& read, std::vector<SLinkAttributes>& links)
{
    return Read(m_Links, read, links);
}

HRESULT CKernelReading::Table(const TableReader& read, CNftSharingTable::SState& state)
{
    std::pair<HRESULT, CNftSharingTable::SState> result;
    Read(
        m_Table,
        [&read](std::pair<HRESULT, CNftSharingTable::SState>& value) {
            value.first = read(value.second);
            // A failed read is kept too: the same question fails alike within one reading.
            return true;
        },
        result);
    state = result.second;
    return result.first;
}
