// SPDX-License-Identifier: GPL-3.0-or-later
// CServerSettings: what the machine's administrator set for the server, read at its start (and
// by the service again on SIGHUP): on Linux the file /etc/tarnlow/tarnlow.conf, "key = value"
// lines with "#" comments; on Windows the values under HKLM\Software\Tarnlow, where the installer
// keeps the port it opened in the firewall. A setting that cannot be used is a warning naming it,
// and its default holds; without any settings the server is as it always was.
#pragma once

#include "ControlProtocol.h"
#include "server/ClientList.h"

#include <string>
#include <vector>

class CServerSettings
{
public:
    // Larger files are read this far, and said to be.
    static constexpr std::size_t kMaxFileBytes = 64 * 1024;

    // The machine's settings; on Linux the file that $TARNLOW_SETTINGS names, where it is set.
    static CServerSettings Read();
    // The text of a settings file, for the warnings named by its path.
    static CServerSettings FromText(const std::string& strText, const std::string& strPath);

    // The page's port unless set; the desktop protocol's follows it in ControlProtocol.
    static constexpr int kDefaultPagePort = 10001;

    // The port of the desktop protocol.
    int Port() const { return m_nPort; }
    // Whether the page for phones is served, and at which port.
    bool PageOn() const { return m_bPageOn; }
    int PagePort() const { return m_nPagePort; }
    // Which LAN clients may use the desktop protocol.
    const CClientList& Clients() const { return m_Clients; }
    // Ports that browsers refuse to open (the Fetch standard's bad ports): a page there could not
    // be opened.
    static bool IsRefusedByBrowsers(int nPort);
    // What could not be used, one Log entry each.
    const std::vector<std::string>& Warnings() const { return m_Warnings; }

private:
    // Where a setting stands, as the warnings name it, and its text as it stands there.
    struct SPlace {
        std::string strName;
        std::string strText;
    };

    // One setting by its key; a warning where the key or the value is not one of ours.
    void Set(const SPlace& place, const std::string& strKey, const std::string& strValue);
    void Warn(const SPlace& place, const std::string& strReason);
    void Warn(const std::string& strWarning) { m_Warnings.push_back(strWarning); }

    // Once every setting is read: the two ports must differ, and the page gives way.
    void CheckPorts();

    int m_nPort = ControlProtocol::kDefaultPort;
    bool m_bPageOn = true;
    int m_nPagePort = kDefaultPagePort;
    CClientList m_Clients;
    // Where each port was set, for a warning that they meet.
    SPlace m_PortPlace;
    SPlace m_PagePortPlace;
    std::vector<std::string> m_Warnings;
};
