// SPDX-License-Identifier: GPL-3.0-or-later
// Icons from the program's Qt resources, in the four sizes the artwork comes in.
#include "Resources.h"

#include <QIcon>

HICON CResources::LoadIcon(int nId) const
{
    auto it = Icons.find(nId);
    if (it == Icons.end())
        return nullptr;
    // Kept to the program's end, as the system keeps a program's icon resources.
    static auto* pLoaded = new std::map<std::string, QIcon>;
    auto [itIcon, bNew] = pLoaded->try_emplace(it->second);
    if (bNew) {
        for (const int nSize : {16, 32, 48, 256})
            itIcon->second.addFile(
                QStringLiteral("%1-%2.png").arg(QString::fromStdString(it->second)).arg(nSize));
    }
    return &itIcon->second;
}
