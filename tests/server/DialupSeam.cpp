// SPDX-License-Identifier: GPL-3.0-or-later
// Built only into the tests' copy of Tarnlow Server: before the window starts, registers the
// machine's own sharing service with the interfaces named in TARNLOW_TEST_DIALUP (separated by
// commas) shown as dial-up, since the kernels that tests run on have no PPP, and with the window in
// which five undoings of a sharing are given up in TARNLOW_TEST_UNDONE_WINDOW (seconds), so that
// a slow machine still undoes five times within it; under systemd it remembers its sharing as the
// installed program's does. The installed program never holds this file.
#include "LinuxSharingService.h"

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
    options.strStateDirectory = CSharingStateFile::DirectoryFromEnvironment();
    if (const char* pszWindow = std::getenv("TARNLOW_TEST_UNDONE_WINDOW"))
        options.UndoneWindow = std::chrono::seconds(std::atoi(pszWindow));
    return options;
}

class CDialupSeam
{
public:
    CDialupSeam()
    {
        // The window's own initialisation then joins this apartment.
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IUnknown* pFactory = nullptr;
        CLinuxSharingService::Create(OptionsFromEnvironment())
            ->GetClassObject(IID_IUnknown, reinterpret_cast<void**>(&pFactory));
        DWORD dwCookie = 0;
        CoRegisterClassObject(CLSID_NetSharingManager, pFactory, CLSCTX_INPROC_SERVER,
                              REGCLS_MULTIPLEUSE, &dwCookie);
        pFactory->Release();
    }
};

const CDialupSeam g_Seam;

} // namespace
