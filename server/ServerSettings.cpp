// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerSettings.h"

#include "Format.h"

#include <algorithm>
#include <charconv>

namespace
{

constexpr std::size_t kMaxTextShown = 60;

// A line's spaces, and the carriage return of a file written on Windows.
constexpr const char* kLineSpaces = " \t\r";

// A line as a Log entry may quote it: printable, and short.
std::string Shown(const std::string& strText)
{
    std::string strShown;
    for (const char c : strText.substr(0, kMaxTextShown))
        strShown += c >= ' ' && c <= '~' ? c : '?';
    return strText.size() > kMaxTextShown ? strShown + "..." : strShown;
}

bool ParsePort(const std::string& strValue, int& nPort)
{
    int nValue = 0;
    const char* pEnd = strValue.data() + strValue.size();
    const auto [pStop, error] = std::from_chars(strValue.data(), pEnd, nValue);
    if (error != std::errc() || pStop != pEnd || nValue < 1 || nValue > 65535)
        return false;
    nPort = nValue;
    return true;
}

constexpr int kBadPorts[] = {1,    7,    9,    11,   13,   15,   17,   19,   20,   21,   22,   23,
                             25,   37,   42,   43,   53,   69,   77,   79,   87,   95,   101,  102,
                             103,  104,  109,  110,  111,  113,  115,  117,  119,  123,  135,  137,
                             139,  143,  161,  179,  389,  427,  465,  512,  513,  514,  515,  526,
                             530,  531,  532,  540,  548,  554,  556,  563,  587,  601,  636,  989,
                             990,  993,  995,  1719, 1720, 1723, 2049, 3659, 4045, 4190, 5060, 5061,
                             6000, 6566, 6665, 6666, 6667, 6668, 6669, 6679, 6697, 10080};

} // namespace

bool CServerSettings::IsRefusedByBrowsers(int nPort)
{
    return std::find(std::begin(kBadPorts), std::end(kBadPorts), nPort) != std::end(kBadPorts);
}

CServerSettings CServerSettings::FromText(const std::string& strText, const std::string& strPath)
{
    CServerSettings settings;
    std::size_t nStart = 0;
    for (int nLine = 1; nStart < strText.size(); ++nLine) {
        const std::size_t nEnd = std::min(strText.find('\n', nStart), strText.size());
        const std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const std::string strContent = Trimmed(strLine.substr(0, strLine.find('#')), kLineSpaces);
        if (strContent.empty())
            continue;
        const SPlace place{"Line " + std::to_string(nLine) + " of " + strPath, strLine};
        const auto nEquals = strContent.find('=');
        if (nEquals == std::string::npos) {
            settings.Warn(place, "it is not \"key = value\"");
            continue;
        }
        settings.Set(place, Trimmed(strContent.substr(0, nEquals), kLineSpaces),
                     Trimmed(strContent.substr(nEquals + 1), kLineSpaces));
    }
    settings.CheckPorts();
    return settings;
}

void CServerSettings::Set(const SPlace& place, const std::string& strKey,
                          const std::string& strValue)
{
    if (strKey == "port") {
        if (!ParsePort(strValue, m_nPort))
            Warn(place, "the port must be a number from 1 to 65535");
        else
            m_PortPlace = place;
        return;
    }
    if (strKey == "page-port") {
        int nPort = 0;
        if (!ParsePort(strValue, nPort))
            Warn(place, "the port must be a number from 1 to 65535");
        else if (IsRefusedByBrowsers(nPort))
            Warn(place, "browsers refuse to open a page at port " + strValue);
        else {
            m_nPagePort = nPort;
            m_PagePortPlace = place;
        }
        return;
    }
    if (strKey == "page") {
        if (strValue == "on" || strValue == "off")
            m_bPageOn = strValue == "on";
        else
            Warn(place, "the page is \"on\" or \"off\"");
        return;
    }
    if (strKey == "clients") {
        std::string strError;
        if (!m_Clients.Parse(strValue, strError))
            Warn(place, strError);
        return;
    }
    Warn(place, "there is no setting \"" + Shown(strKey) + "\"");
}

void CServerSettings::Warn(const SPlace& place, const std::string& strReason)
{
    Warn(place.strName + " (\"" + Shown(place.strText) + "\") is left out: " + strReason);
}

void CServerSettings::CheckPorts()
{
    if (m_nPagePort != m_nPort)
        return;
    m_nPagePort = m_nPort == kDefaultPagePort ? kDefaultPagePort + 1 : kDefaultPagePort;
    const SPlace& place = m_PagePortPlace.strName.empty() ? m_PortPlace : m_PagePortPlace;
    Warn(place.strName + " (\"" + Shown(place.strText) +
         "\"): the desktop protocol and the page cannot share a port: the page is at port " +
         std::to_string(m_nPagePort));
}
