// SPDX-License-Identifier: GPL-3.0-or-later
// Built only into the tests' copy of Tarnlow Server, as its registration of its sharing service:
// the machine's own sharing service with the interfaces named in TARNLOW_TEST_DIALUP (separated by
// commas) shown as dial-up, since the kernels that tests run on have no PPP, and with the window in
// which five undoings of a sharing are given up in TARNLOW_TEST_UNDONE_WINDOW (seconds), so that
// a slow machine still undoes five times within it; under systemd it remembers its sharing as the
// installed program's does. The installed program never holds this file.
#include "LinuxSharingService.h"
#include "SharingRegistration.h"
#include "StateDirectory.h"

#include <cstdlib>
#include <sstream>

namespace
{

CLinuxSharingService::SOptions OptionsFromEnvironment()
{
    CLinuxSharingService::SOptions options;
    const char* pszNames = std::getenv("TARNLOW_TEST_DIALUP");
    std::istringstream names(pszNames != nullptr ? pszNames : "");
    std::string strName;
    while (std::getline(names, strName, ','))
        options.DialupInterfaces.push_back(strName);
    options.strStateDirectory = StateDirectory::Service();
    if (const char* pszWindow = std::getenv("TARNLOW_TEST_UNDONE_WINDOW"))
        options.UndoneWindow = std::chrono::seconds(std::atoi(pszWindow));
    return options;
}

} // namespace

// The program's registration of its sharing service is this one.
CSharingRegistration::CSharingRegistration()
{
    Register(*CLinuxSharingService::Create(OptionsFromEnvironment()));
}
