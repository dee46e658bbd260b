// SPDX-License-Identifier: GPL-3.0-or-later
// Whether this process may change the kernel's network: the CAP_NET_ADMIN capability in effect.
#pragma once

bool HasNetAdmin();
