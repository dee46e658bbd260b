// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pairing.h"

#include "Format.h"
#include "server/page/Secrets.h"

#include <algorithm>

namespace
{

// The next code point of UTF-8 text, or false where the text is not UTF-8 there.
bool NextCodePoint(const std::string& strText, std::size_t& nAt, char32_t& cPoint)
{
    const auto cLead = static_cast<unsigned char>(strText[nAt]);
    const int nMore = cLead < 0x80                    ? 0
                      : cLead >= 0xc2 && cLead < 0xe0 ? 1
                      : cLead >= 0xe0 && cLead < 0xf0 ? 2
                      : cLead >= 0xf0 && cLead < 0xf5 ? 3
                                                      : -1;
    if (nMore < 0 || nAt + nMore >= strText.size())
        return false;
    cPoint = nMore == 0 ? cLead : cLead & (0x3f >> nMore);
    for (int i = 1; i <= nMore; ++i) {
        const auto cNext = static_cast<unsigned char>(strText[nAt + i]);
        if ((cNext & 0xc0) != 0x80)
            return false;
        cPoint = (cPoint << 6) | (cNext & 0x3f);
    }
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    nAt += nMore + 1;
    return cPoint >= kSmallest[nMore] && cPoint <= 0x10ffff && (cPoint < 0xd800 || cPoint > 0xdfff);
}

// Control characters, and the separators that some readers take for a line's end.
bool IsPrintable(char32_t cPoint)
{
    return cPoint >= 0x20 && cPoint != 0x7f && (cPoint < 0x80 || cPoint > 0x9f) &&
           cPoint != 0x2028 && cPoint != 0x2029;
}

std::string CodeShown(const std::string& strCode)
{
    return strCode.substr(0, 3) + " " + strCode.substr(3);
}

std::string DeviceAt(const std::string& strName, const std::string& strAddress)
{
    return "\"" + strName + "\" at " + strAddress;
}

} // namespace

CPairing::CPairing(ILogSink& log, CClock& clock, std::string strStateDirectory)
    : m_Log(log), m_Clock(clock), m_File(std::move(strStateDirectory))
{
}

void CPairing::Load()
{
    const std::lock_guard lock(m_Mutex);
    std::string strError;
    const CDeviceFile::ERead read = m_File.Read(m_Devices, strError);
    if (read == CDeviceFile::ERead::Damaged || read == CDeviceFile::ERead::Unreadable)
        m_Log.AddEntry("The paired devices in " + m_File.Path() + " cannot be read (" + strError +
                           "): no device is paired" +
                           (read == CDeviceFile::ERead::Damaged
                                ? "; the file is kept as " + m_File.Aside()
                                : std::string()),
                       ILogSink::EPriority::Warning);
    ShowLocked();
}

void CPairing::SetDevicesShown(std::function<void(const std::vector<SPairedDevice>&)> shown)
{
    const std::lock_guard lock(m_Mutex);
    m_Shown = std::move(shown);
    ShowLocked();
}

bool CPairing::IsValidName(const std::string& strName)
{
    std::size_t nCharacters = 0;
    bool bVisible = false;
    for (std::size_t nAt = 0; nAt < strName.size(); ++nCharacters) {
        char32_t cPoint = 0;
        if (!NextCodePoint(strName, nAt, cPoint) || !IsPrintable(cPoint))
            return false;
        bVisible = bVisible || cPoint != ' ';
    }
    return bVisible && nCharacters <= kMaxNameCharacters;
}

std::string CPairing::Hidden(const std::string& strEntry)
{
    if (strEntry.rfind(kCodeEntryStart, 0) != 0)
        return strEntry;
    const std::size_t nFor = strEntry.find(" for ");
    return std::string(kCodeEntryStart) + "(in the server's Log only)" +
           (nFor == std::string::npos ? std::string() : strEntry.substr(nFor));
}

void CPairing::DropExpired(CClock::SteadyTime now)
{
    std::erase_if(m_Pending, [now](const auto& pending) { return pending.second.Expires <= now; });
    while (!m_WrongTimes.empty() && now - m_WrongTimes.front() >= std::chrono::hours(1))
        m_WrongTimes.pop_front();
    if (m_LastAsked.size() >= kMaxAskers)
        std::erase_if(m_LastAsked,
                      [now](const auto& asked) { return now - asked.second >= kAskEvery; });
}

bool CPairing::IsPaused(CClock::SteadyTime now)
{
    if (m_PausedUntil && now >= *m_PausedUntil)
        m_PausedUntil.reset();
    return m_PausedUntil.has_value();
}

CPairing::SAnswer CPairing::Ask(const std::string& strName, const std::string& strAddress,
                                const std::string& strEarlierRequest)
{
    const std::lock_guard lock(m_Mutex);
    const CClock::SteadyTime now = m_Clock.SteadyNow();
    DropExpired(now);
    if (!IsValidName(strName))
        return {false, "A device's name is 1 to 32 printable characters on one line", {}};
    if (IsPaused(now)) {
        const auto minutes = std::chrono::ceil<std::chrono::minutes>(*m_PausedUntil - now).count();
        return {false,
                FormatText("Pairing is paused after too many wrong codes: try again in %d minutes",
                           static_cast<int>(minutes)),
                {}};
    }
    const auto asked = m_LastAsked.find(strAddress);
    if ((asked != m_LastAsked.end() && now - asked->second < kAskEvery) ||
        (asked == m_LastAsked.end() && m_LastAsked.size() >= kMaxAskers))
        return {
            false,
            "A code was asked for from this address less than a minute ago: try again in a minute",
            {}};
    m_Pending.erase(strEarlierRequest);
    if (m_Pending.size() >= kMaxPending)
        return {false, "Three devices are waiting for their codes: try again in a few minutes", {}};
    if (m_Devices.size() >= kMaxDevices)
        return {false, "64 devices are paired: forget one of them first", {}};
    std::uint32_t nCode = 0;
    const std::string strKey = Secrets::RandomHex(kTokenBytes);
    if (strKey.empty() || !Secrets::RandomBelow(kCodeBound, nCode))
        return {false, "The server cannot make a code: the system's random source failed", {}};
    const std::string strCode = FormatText("%06u", static_cast<unsigned>(nCode));
    m_LastAsked[strAddress] = now;
    m_Pending[strKey] = {strName, strAddress, strCode, now + kCodeLife, 0};
    m_Log.AddEntry(FormatText("%s%s for %s, valid for 5 minutes", kCodeEntryStart,
                              CodeShown(strCode).c_str(), DeviceAt(strName, strAddress).c_str()),
                   ILogSink::EPriority::Warning);
    return {true, {}, strKey};
}

CPairing::SAnswer CPairing::Confirm(const std::string& strRequest, const std::string& strCode,
                                    const std::string& strAddress)
{
    const std::lock_guard lock(m_Mutex);
    const CClock::SteadyTime now = m_Clock.SteadyNow();
    DropExpired(now);
    if (IsPaused(now))
        return {false, "Pairing is paused after too many wrong codes", {}};
    const auto pending = m_Pending.find(strRequest);
    if (pending == m_Pending.end())
        return {
            false, "No code is waiting for this browser, or it has expired: ask for a new one", {}};
    std::string strTyped = strCode;
    std::erase(strTyped, ' ');
    if (!Secrets::Same(strTyped, pending->second.strCode))
        return Wrong(pending, now);
    SPairedDevice device;
    const std::string strToken = Secrets::RandomHex(kTokenBytes);
    device.strId = Secrets::RandomHex(kIdBytes);
    device.strHash = Secrets::Sha256Hex(strToken);
    if (strToken.empty() || device.strId.empty() || device.strHash.empty())
        return {false, "The server cannot pair: the system's random source or hash failed", {}};
    device.strName = pending->second.strName;
    device.Paired = device.LastSeen = m_Clock.WallNow();
    m_Pending.erase(pending);
    m_Devices.push_back(device);
    m_Log.AddEntry("The device " + DeviceAt(device.strName, strAddress) + " is paired");
    KeepLocked();
    ShowLocked();
    return {true, {}, strToken};
}

// The request ends at its third wrong code; the tenth within an hour pauses all pairing.
CPairing::SAnswer CPairing::Wrong(std::map<std::string, SPending>::iterator pending,
                                  CClock::SteadyTime now)
{
    const int nWrong = ++pending->second.nWrong;
    m_Log.AddEntry(FormatText("A wrong pairing code for %s (%d of %d)",
                              DeviceAt(pending->second.strName, pending->second.strAddress).c_str(),
                              nWrong, kWrongPerRequest),
                   ILogSink::EPriority::Warning);
    m_WrongTimes.push_back(now);
    if (m_WrongTimes.size() >= kWrongPerHour) {
        m_PausedUntil = now + kPause;
        m_WrongTimes.clear();
        m_Pending.clear();
        m_Log.AddEntry("Pairing is paused for an hour: 10 wrong codes were typed within an hour",
                       ILogSink::EPriority::Warning);
        return {false, "Pairing is paused after too many wrong codes", {}};
    }
    if (nWrong >= kWrongPerRequest) {
        m_Pending.erase(pending);
        return {false, "That was the third wrong code: ask for a new one", {}};
    }
    return {false, "That is not the code", {}};
}

std::optional<SPairedDevice> CPairing::Recognise(const std::string& strToken)
{
    if (strToken.size() != 2 * kTokenBytes)
        return std::nullopt;
    const std::string strHash = Secrets::Sha256Hex(strToken);
    const std::lock_guard lock(m_Mutex);
    const auto device = std::find_if(m_Devices.begin(), m_Devices.end(), [&](const auto& paired) {
        return Secrets::Same(paired.strHash, strHash);
    });
    if (strHash.empty() || device == m_Devices.end())
        return std::nullopt;
    const CClock::WallTime now = m_Clock.WallNow();
    if (now - device->LastSeen >= kSeenStep) {
        device->LastSeen = now;
        const SPairedDevice seen = *device;
        KeepLocked();
        ShowLocked();
        return seen;
    }
    return *device;
}

bool CPairing::Forget(const std::string& strId, const SPairedDevice& by,
                      const std::string& strAddress)
{
    const std::lock_guard lock(m_Mutex);
    const auto device = std::find_if(m_Devices.begin(), m_Devices.end(),
                                     [&](const auto& paired) { return paired.strId == strId; });
    if (device == m_Devices.end())
        return false;
    const std::string strForgotten =
        device->strId == by.strId ? "itself" : "the device \"" + device->strName + "\"";
    m_Devices.erase(device);
    m_Log.AddEntry("The device " + DeviceAt(by.strName, strAddress) + " forgot " + strForgotten);
    KeepLocked();
    ShowLocked();
    return true;
}

std::vector<SPairedDevice> CPairing::Devices() const
{
    const std::lock_guard lock(m_Mutex);
    return m_Devices;
}

bool CPairing::IsPending(const std::string& strRequest)
{
    const std::lock_guard lock(m_Mutex);
    DropExpired(m_Clock.SteadyNow());
    return m_Pending.contains(strRequest);
}

// Where the state cannot be written, the devices stay paired until the server stops, and the Log
// says so.
void CPairing::KeepLocked()
{
    std::string strError;
    if (!m_File.Write(m_Devices, strError))
        m_Log.AddEntry("The paired devices cannot be kept in " + m_File.Path() + " (" + strError +
                           "): they stay paired only until the server stops",
                       ILogSink::EPriority::Warning);
}

void CPairing::ShowLocked()
{
    if (m_Shown)
        m_Shown(m_Devices);
}
