// SPDX-License-Identifier: GPL-3.0-or-later
// Entry 0 of the machine's addresses is the LAN's: the order of adapter lists as Windows 10 and 11
// machines have them (virtual switches, WSL, a VPN, a dial-up link) and as Linux has them.
#include "InterfaceOrder.h"

#include <gtest/gtest.h>

namespace
{

std::vector<std::string> Ordered(std::vector<SLocalAddress> addresses)
{
    OrderLocalAddresses(addresses);
    std::vector<std::string> order;
    for (const SLocalAddress& address : addresses)
        order.push_back(address.strAddress);
    return order;
}

SLocalAddress Lan(const char* pszAddress, bool bPhysical = true)
{
    return {pszAddress, true, false, false, bPhysical};
}

const SLocalAddress kLoopback{"127.0.0.1", true, false, true, false};

// A laptop's list: Hyper-V's default switch and WSL's switch come first, a VPN's adapter is up,
// and the Wi-Fi, the one adapter with a physical connector, is last but for loopback.
TEST(InterfaceOrderTest, AnAdapterWithAPhysicalConnectorComesBeforeVirtualOnes)
{
    EXPECT_EQ(Ordered({Lan("172.29.16.1", false), Lan("172.20.0.1", false), Lan("10.8.0.6", false),
                       Lan("192.168.1.23"), kLoopback}),
              (std::vector<std::string>{"192.168.1.23", "172.29.16.1", "172.20.0.1", "10.8.0.6",
                                        "127.0.0.1"}));
}

// A Hyper-V external switch takes the LAN's address onto its virtual adapter, and the physical
// one keeps none: the virtual ones come in the system's order, before a dial-up link and
// loopback.
TEST(InterfaceOrderTest, WithoutAPhysicalAdapterTheVirtualOnesComeInTheSystemsOrder)
{
    const SLocalAddress dialup{"100.64.12.7", true, true, false, false};
    const SLocalAddress down{"169.254.3.3", false, false, false, true};
    EXPECT_EQ(
        Ordered({kLoopback, dialup, Lan("192.168.1.10", false), down, Lan("172.29.16.1", false)}),
        (std::vector<std::string>{"192.168.1.10", "172.29.16.1", "100.64.12.7", "169.254.3.3",
                                  "127.0.0.1"}));
    // Linux tells nothing of connectors: its bridge is the LAN, and its order stays.
    EXPECT_EQ(Ordered({kLoopback, {"100.64.12.7", true, true, false}, {"192.168.1.1", true}}),
              (std::vector<std::string>{"192.168.1.1", "100.64.12.7", "127.0.0.1"}));
}

} // namespace
