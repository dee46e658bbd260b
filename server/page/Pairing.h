// SPDX-License-Identifier: GPL-3.0-or-later
// CPairing: which devices the page obeys. A device asks with a name; the server's Log (its window,
// or the journal) shows a one-time code for it, and whoever reads the Log types the code on that
// device, whose browser alone holds the request (a cookie). A right code makes the device paired:
// it holds a random token, the server keeps the token's hash, with the device's name and times,
// in its state. Guessing and flooding are bounded: requests per address and at once, wrong codes
// per request and, machine-wide, per hour. Called from any thread, one call at a time.
#pragma once

#include "Clock.h"
#include "LogSink.h"
#include "server/page/DeviceFile.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CPairing
{
public:
    static constexpr std::uint32_t kCodeBound = 1000000;
    static constexpr std::chrono::minutes kCodeLife{5};
    static constexpr std::chrono::minutes kAskEvery{1};
    static constexpr std::size_t kMaxPending = 3;
    static constexpr int kWrongPerRequest = 3;
    static constexpr std::size_t kWrongPerHour = 10;
    static constexpr std::chrono::hours kPause{1};
    static constexpr std::size_t kMaxNameCharacters = 32;
    static constexpr std::size_t kMaxDevices = 64;
    // 256 bits of the system's random source, as hexadecimal.
    static constexpr std::size_t kTokenBytes = 32;
    static constexpr std::size_t kIdBytes = 8;
    // Addresses whose last request is remembered, at most.
    static constexpr std::size_t kMaxAskers = 1024;
    // A device's last sight is kept anew once it is older than this.
    static constexpr std::chrono::minutes kSeenStep{1};
    // How an entry with a code begins, so that the page's copy of the Log can leave it out.
    static constexpr const char* kCodeEntryStart = "Pairing code ";

    struct SAnswer {
        bool bDone = false;
        // Where it was not done, why.
        std::string strReason;
        // What the browser keeps: the request's key, or the paired device's token.
        std::string strCookie;
    };

    CPairing(ILogSink& log, CClock& clock, std::string strStateDirectory);

    // The devices paired before; a damaged state is a warning, and nothing is paired.
    void Load();
    // A device is shown when the list changes: paired, forgotten, seen.
    void SetDevicesShown(std::function<void(const std::vector<SPairedDevice>&)> shown);

    // A new request from the device at the address, under the name; the browser's earlier
    // request (its key, if any) ends.
    SAnswer Ask(const std::string& strName, const std::string& strAddress,
                const std::string& strEarlierRequest);
    // The code typed on the browser that holds the request's key.
    SAnswer Confirm(const std::string& strRequest, const std::string& strCode,
                    const std::string& strAddress);
    // The paired device that holds the token, now seen; none for a token of no device.
    std::optional<SPairedDevice> Recognise(const std::string& strToken);
    // Forgets the device with the id, as the device "by" at the address asked; false where no
    // such device is paired.
    bool Forget(const std::string& strId, const SPairedDevice& by, const std::string& strAddress);
    std::vector<SPairedDevice> Devices() const;
    // Whether the browser's request (its key) is waiting for a code.
    bool IsPending(const std::string& strRequest);

    // 1 to 32 printable characters of UTF-8 on one line.
    static bool IsValidName(const std::string& strName);
    // The Log's entry as a page may show it: a code's digits are hidden.
    static std::string Hidden(const std::string& strEntry);

private:
    struct SPending {
        std::string strName;
        std::string strAddress;
        std::string strCode;
        CClock::SteadyTime Expires;
        int nWrong = 0;
    };

    void DropExpired(CClock::SteadyTime now);
    bool IsPaused(CClock::SteadyTime now);
    SAnswer Wrong(std::map<std::string, SPending>::iterator pending, CClock::SteadyTime now);
    void KeepLocked();
    void ShowLocked();

    ILogSink& m_Log;
    CClock& m_Clock;
    const CDeviceFile m_File;
    mutable std::mutex m_Mutex;
    std::vector<SPairedDevice> m_Devices;
    std::map<std::string, SPending> m_Pending;
    std::map<std::string, CClock::SteadyTime> m_LastAsked;
    std::deque<CClock::SteadyTime> m_WrongTimes;
    std::optional<CClock::SteadyTime> m_PausedUntil;
    std::function<void(const std::vector<SPairedDevice>&)> m_Shown;
};
