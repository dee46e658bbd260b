// SPDX-License-Identifier: GPL-3.0-or-later
// The secrets of pairing: numbers and tokens from the system's random source, their SHA-256, and
// a comparison whose time does not tell where two secrets differ.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Secrets
{

// So many random bytes, in lower-case hexadecimal; empty where the source fails.
std::string RandomHex(std::size_t nBytes);
// A number below the bound, every one as likely; false where the source fails.
bool RandomBelow(std::uint32_t nBound, std::uint32_t& nNumber);
// The text's SHA-256 in lower-case hexadecimal; empty where the system cannot hash.
std::string Sha256Hex(std::string_view text);
// Whether two secrets are the same, in a time that depends on their lengths only.
bool Same(std::string_view first, std::string_view second);

} // namespace Secrets
