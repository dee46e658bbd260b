// SPDX-License-Identifier: GPL-3.0-or-later
// CNftRunner: one libnftables context, which runs commands as nft does and keeps what nftables
// printed and said. Commands are written as text; listings may be asked for in JSON.
#pragma once

#include "Com.h"

#include <string>

struct nft_ctx;

class CNftRunner
{
public:
    // Whether a missing table or chain fails the command, or is S_FALSE.
    enum class EAbsence { Fails, Allowed };
    enum class EOutput { Text, Json };

    CNftRunner();
    ~CNftRunner();
    CNftRunner(const CNftRunner&) = delete;
    CNftRunner& operator=(const CNftRunner&) = delete;

    // E_ACCESSDENIED without CAP_NET_ADMIN or where the kernel refused; E_FAIL for any other
    // failure, traced.
    HRESULT Run(const std::string& strCommands, EAbsence absence = EAbsence::Fails,
                EOutput output = EOutput::Text);
    // What the last command printed.
    const std::string& Output() const { return m_strOutput; }
    // The first line of what nftables said when the last command failed; empty after a success.
    const std::string& LastError() const { return m_strError; }

private:
    bool MakeContext();

    nft_ctx* m_pContext = nullptr;
    std::string m_strOutput;
    std::string m_strError;
};
