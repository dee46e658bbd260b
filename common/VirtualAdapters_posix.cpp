// SPDX-License-Identifier: GPL-3.0-or-later
// Linux's order stays as the interfaces' flags make it: its LAN may be a bridge, which is virtual.
#include "InterfaceOrder.h"

void MarkVirtualAdapters(std::vector<SLocalAddress>&) {}
