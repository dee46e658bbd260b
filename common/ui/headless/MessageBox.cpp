// SPDX-License-Identifier: GPL-3.0-or-later
// The box without a toolkit.
#include "MessageBox.h"

int RunMessageBox(const SMessageBox& box)
{
    return WriteMessageBox(box);
}
