// SPDX-License-Identifier: GPL-3.0-or-later
// CKernelReading: while a thread holds it, what that thread asks of the service is answered from
// one reading of the kernel (the links, and our table), taken at its first question, so that a
// refresh of N connections asks the kernel once, not several times N. Whatever the service
// changes, or the kernel tells it of, drops what was read, and the next question reads again.
// Other threads (the watch) read the kernel as it is.
#pragma once

#include "Com.h"
#include "LinkAttributes.h"
#include "NftSharingTable.h"

#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class CKernelReading
{
public:
    using LinksReader = std::function<bool(std::vector<SLinkAttributes>& links)>;
    using TableReader = std::function<HRESULT(CNftSharingTable::SState& state)>;

    // Held by the calling thread until End(); a hold of another thread's is taken over.
    void Begin();
    void End();
    void Drop();
    bool IsHeldHere();
    // From the reading where this thread holds it, else read now.
    bool Links(const LinksReader& read, std::vector<SLinkAttributes>& links);
    HRESULT Table(const TableReader& read, CNftSharingTable::SState& state);

private:
    template <typename TValue, typename TRead>
    bool Read(std::optional<TValue>& kept, const TRead& read, TValue& value);

    std::mutex m_Mutex;
    std::optional<std::thread::id> m_Holder;
    // What was read, and how many drops there have been: a read that a drop overtook is not kept.
    std::optional<std::vector<SLinkAttributes>> m_Links;
    std::optional<std::pair<HRESULT, CNftSharingTable::SState>> m_Table;
    unsigned long long m_nDrops = 0;
};
