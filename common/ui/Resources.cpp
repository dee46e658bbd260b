// SPDX-License-Identifier: GPL-3.0-or-later
#include "Resources.h"

namespace
{

const CResources* g_pCurrent = nullptr;

template <typename TMap>
const typename TMap::mapped_type* Find(const TMap& map, int nId)
{
    auto it = map.find(nId);
    return it == map.end() ? nullptr : &it->second;
}

} // namespace

const SDialogTemplate* CResources::FindDialog(int nId) const
{
    return Find(Dialogs, nId);
}

const SMenuTemplate* CResources::FindMenu(int nId) const
{
    return Find(Menus, nId);
}

std::string CResources::LoadString(int nId) const
{
    const std::string* pString = Find(Strings, nId);
    return pString != nullptr ? *pString : std::string();
}

void CResources::SetCurrent(const CResources* pResources)
{
    g_pCurrent = pResources;
}

const CResources& CResources::Current()
{
    static const CResources empty;
    return g_pCurrent != nullptr ? *g_pCurrent : empty;
}
