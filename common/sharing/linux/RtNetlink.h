// SPDX-License-Identifier: GPL-3.0-or-later
// The kernel's routing socket, asked for network interfaces: every one in the kernel's order, or
// one by its index. Each call asks the kernel afresh.
#pragma once

#include "LinkAttributes.h"

#include <vector>

struct nlmsghdr;

class CRtNetlink
{
public:
    static bool ReadLinks(std::vector<SLinkAttributes>& links);
    // False when the interface no longer exists or the kernel cannot be asked.
    static bool ReadLink(int nIndex, SLinkAttributes& link);
    // The link that has the name now, whichever index it has.
    static bool ReadLinkNamed(const std::string& strName, SLinkAttributes& link);
    // The index of the link that has the name now; 0 when none has.
    static int IndexOf(const std::string& strName);
    // One RTM_NEWLINK message; false for any other message or one cut short.
    static bool ParseLink(const nlmsghdr* pMessage, SLinkAttributes& link);

private:
    static bool Ask(int nIndex, std::vector<SLinkAttributes>& links);
};
