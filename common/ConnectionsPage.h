// SPDX-License-Identifier: GPL-3.0-or-later
// CConnectionsPage: what both programs' Connections pages are alike: a page whose list shows one
// connection a row, in four columns: name, type, status, shared. Each program fills it from its
// own source and adds its own keys and commands.
#pragma once

#include "Dialog.h"
#include "ListCtrl.h"

#include <string>

class CConnectionsPage : public CDialog
{
public:
    static constexpr UINT IDD = 129;
    static constexpr int kNameWidth = 160;   // pixels
    static constexpr int kTypeWidth = 120;   // pixels
    static constexpr int kStatusWidth = 100; // pixels
    static constexpr int kSharedWidth = 60;  // pixels

    // A row after the others.
    void AppendRow(const std::string& strName, const std::string& strType,
                   const std::string& strStatus, const std::string& strShared);

    CListCtrl m_ConnectionList;

protected:
    // The list is the template's control with this id.
    explicit CConnectionsPage(int nListId) : CDialog(IDD), m_nListId(nListId) {}

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    const int m_nListId;
};
