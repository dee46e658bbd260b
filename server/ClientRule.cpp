// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClientRule.h"

#include "Format.h"
#include "GuidText.h"
#include "IpHelper.h"
#include "Kernel.h"

#include <algorithm>

std::string CClientRule::UplinkTowards(const sockaddr_in& local, const sockaddr_in& client,
                                       CSharedConnections& connections)
{
    const std::string strAdapter = RouteAdapter(local, client);
    if (strAdapter.empty())
        return std::string();
    return connections.With(
        [&](CMyNetConnection& manager) { return manager.DialupConnectionOf(strAdapter); });
}

bool CClientRule::Admits(const sockaddr_in& local, const sockaddr_in& client,
                         CSharedConnections& connections, ILogSink& log, Clock::time_point now)
{
    const std::string strUplink = UplinkTowards(local, client, connections);
    if (strUplink.empty())
        return true;
    NameRefused(client, "beyond the dial-up connection " + strUplink, log, now);
    return false;
}

void CClientRule::NameRefused(const sockaddr_in& client, const std::string& strWhy, ILogSink& log,
                              Clock::time_point now)
{
    const std::string strAddress = Winsock::inet_ntoa(client.sin_addr);
    if (IsToBeNamed(strAddress, now))
        log.AddEntry(FormatText("Refused a client at %s, %s", strAddress.c_str(), strWhy.c_str()),
                     ILogSink::EPriority::Warning);
}

std::string CClientRule::RouteAdapter(const sockaddr_in& local, const sockaddr_in& client)
{
    SOCKADDR_INET source{};
    source.Ipv4 = local;
    source.Ipv4.sin_port = 0;
    SOCKADDR_INET destination{};
    destination.Ipv4 = client;
    destination.Ipv4.sin_port = 0;
    MIB_IPFORWARD_ROW2 route{};
    SOCKADDR_INET bestSource{};
    DWORD dwResult = GetBestRoute2(nullptr, 0, &source, &destination, 0, &route, &bestSource);
    GUID guid{};
    if (dwResult == NO_ERROR)
        dwResult = ConvertInterfaceLuidToGuid(&route.InterfaceLuid, &guid);
    if (dwResult != NO_ERROR) {
        OutputDebugStringA(FormatText("CClientRule::RouteAdapter(): no route to %s: error %u, "
                                      "the client is answered\n",
                                      Winsock::inet_ntoa(client.sin_addr),
                                      static_cast<unsigned>(dwResult))
                               .c_str());
        return std::string();
    }
    return GuidText(guid);
}

bool CClientRule::IsToBeNamed(const std::string& strAddress, Clock::time_point now)
{
    const auto it = m_Named.find(strAddress);
    if (it != m_Named.end()) {
        if (now - it->second < kNameEvery)
            return false;
        it->second = now;
        return true;
    }
    if (m_Named.size() >= kMaxNamed)
        std::erase_if(m_Named,
                      [now](const auto& named) { return now - named.second >= kNameEvery; });
    if (m_Named.size() >= kMaxNamed)
        return false;
    m_Named.emplace(strAddress, now);
    return true;
}
