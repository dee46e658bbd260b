// SPDX-License-Identifier: GPL-3.0-or-later
// The COM objects of the Linux sharing service: its manager (with the advice), the collection and
// enumeration of its connections, and each connection's properties and sharing configuration,
// each reading its interface from the kernel at every question.
#pragma once

#include "Com.h"

#include <memory>

class CLinuxSharingService;

// A new manager of the service, asked for the interface given.
HRESULT NewLinuxSharingManager(std::shared_ptr<CLinuxSharingService> pService, REFIID riid,
                               void** ppv);
