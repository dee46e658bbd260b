// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has no journal stream: lines stay as they are.
#include "Journal.h"

namespace Journal
{

const char* LinePrefix(EPriority, int)
{
    return "";
}

} // namespace Journal
