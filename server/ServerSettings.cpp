// SPDX-License-Identifier: GPL-3.0-or-later
#include "ServerSettings.h"

#include <algorithm>
#include <charconv>

namespace
{

constexpr std::size_t kMaxTextShown = 60;

std::string Trimmed(const std::string& strText)
{
    const auto nFirst = strText.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return std::string();
    return strText.substr(nFirst, strText.find_last_not_of(" \t\r") - nFirst + 1);
}

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

} // namespace

CServerSettings CServerSettings::FromText(const std::string& strText, const std::string& strPath)
{
    CServerSettings settings;
    std::size_t nStart = 0;
    for (int nLine = 1; nStart < strText.size(); ++nLine) {
        const std::size_t nEnd = std::min(strText.find('\n', nStart), strText.size());
        const std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        const std::string strContent = Trimmed(strLine.substr(0, strLine.find('#')));
        if (strContent.empty())
            continue;
        const SPlace place{"Line " + std::to_string(nLine) + " of " + strPath, strLine};
        const auto nEquals = strContent.find('=');
        if (nEquals == std::string::npos) {
            settings.Warn(place, "it is not \"key = value\"");
            continue;
        }
        settings.Set(place, Trimmed(strContent.substr(0, nEquals)),
                     Trimmed(strContent.substr(nEquals + 1)));
    }
    return settings;
}

void CServerSettings::Set(const SPlace& place, const std::string& strKey,
                          const std::string& strValue)
{
    if (strKey == "port") {
        if (!ParsePort(strValue, m_nPort))
            Warn(place, "the port must be a number from 1 to 65535");
        return;
    }
    Warn(place, "there is no setting \"" + Shown(strKey) + "\"");
}

void CServerSettings::Warn(const SPlace& place, const std::string& strReason)
{
    Warn(place.strName + " (\"" + Shown(place.strText) + "\") is left out: " + strReason);
}
