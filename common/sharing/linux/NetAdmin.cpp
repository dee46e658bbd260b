// SPDX-License-Identifier: GPL-3.0-or-later
#include "NetAdmin.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

bool HasNetAdmin()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    return (data[CAP_TO_INDEX(CAP_NET_ADMIN)].effective & CAP_TO_MASK(CAP_NET_ADMIN)) != 0;
}
