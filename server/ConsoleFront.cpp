// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConsoleFront.h"

#include "Journal.h"
#include "server/ServerHost.h"

void CConsoleFront::ShowNoDialupNotice()
{
    Journal::WriteNotice(CServerHost::kNoDialupCaption, CServerHost::kNoDialupText);
}
