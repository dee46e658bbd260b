// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceFile.h"

#include "StateDirectory.h"
#include "server/page/PageProtocol.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace
{

constexpr const char* kSeparator =
#ifdef _WIN32
    "\\";
#else
    "/";
#endif

std::int64_t Seconds(std::chrono::system_clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

std::chrono::system_clock::time_point FromSeconds(std::int64_t nSeconds)
{
    return std::chrono::system_clock::time_point(std::chrono::seconds(nSeconds));
}

bool IsHex(const nlohmann::json& value, std::size_t nLength)
{
    if (!value.is_string())
        return false;
    const std::string& strText = value.get_ref<const std::string&>();
    return strText.size() == nLength &&
           strText.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace

CDeviceFile::CDeviceFile(std::string strDirectory)
    : m_strDirectory(std::move(strDirectory)),
      m_strPath(m_strDirectory.empty() ? std::string() : m_strDirectory + kSeparator + kFileName)
{
}

CDeviceFile::ERead CDeviceFile::Read(std::vector<SPairedDevice>& devices,
                                     std::string& strError) const
{
    devices.clear();
    std::error_code error;
    if (m_strPath.empty() || !fs::exists(m_strPath, error))
        return ERead::None;
    std::ifstream file(m_strPath, std::ios::binary);
    if (!file) {
        strError = std::strerror(errno);
        return ERead::Unreadable;
    }
    std::string strText(kMaxFileBytes + 1, '\0');
    file.read(strText.data(), static_cast<std::streamsize>(strText.size()));
    strText.resize(static_cast<std::size_t>(file.gcount()));
    file.close();
    if (strText.size() > kMaxFileBytes)
        strError = "it is larger than 256 KiB";
    else if (!Parse(strText, devices))
        strError = "it is not a list of paired devices";
    else
        return ERead::Read;
    devices.clear();
    fs::rename(m_strPath, Aside(), error);
    return ERead::Damaged;
}

// Every field must be as the server writes it, or nothing of the file is taken.
bool CDeviceFile::Parse(const std::string& strText, std::vector<SPairedDevice>& devices)
{
    const nlohmann::json root = nlohmann::json::parse(strText, nullptr, false);
    if (!root.is_object() || !root.contains("devices") || !root["devices"].is_array())
        return false;
    for (const nlohmann::json& device : root["devices"]) {
        if (!device.is_object() || !IsHex(device.value("id", nlohmann::json()), 16) ||
            !IsHex(device.value("hash", nlohmann::json()), 64) ||
            !device.value("name", nlohmann::json()).is_string() ||
            !device.value("paired", nlohmann::json()).is_number_integer() ||
            !device.value("seen", nlohmann::json()).is_number_integer())
            return false;
        devices.push_back({device["id"], device["hash"], device["name"],
                           FromSeconds(device["paired"].get<std::int64_t>()),
                           FromSeconds(device["seen"].get<std::int64_t>())});
    }
    return true;
}

bool CDeviceFile::Write(const std::vector<SPairedDevice>& devices, std::string& strError) const
{
    if (m_strPath.empty())
        return true;
    if (!StateDirectory::MakePrivate(m_strDirectory, strError))
        return false;
    nlohmann::json list = nlohmann::json::array();
    for (const SPairedDevice& device : devices)
        list.push_back({{"id", device.strId},
                        {"hash", device.strHash},
                        {"name", device.strName},
                        {"paired", Seconds(device.Paired)},
                        {"seen", Seconds(device.LastSeen)}});
    return StateDirectory::WriteWhole(m_strPath, PageProtocol::Dump({{"devices", list}}) + "\n",
                                      strError);
}
