// SPDX-License-Identifier: GPL-3.0-or-later
// CDialogTemplateWriter: a dialog template of the resources as the system's own, written into
// memory: a DLGTEMPLATEEX header with its font, then one DLGITEMTEMPLATEEX per control, each on a
// four-byte boundary.
#pragma once

#include "Resources.h"

#include <string>
#include <vector>

class CDialogTemplateWriter
{
public:
    explicit CDialogTemplateWriter(const SDialogTemplate& dialogTemplate);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_Words.data()); }

    void Word(WORD w) { m_Words.push_back(w); }
    void Dword(DWORD dw);
    // Text of the code page, as the system's wide text with its terminating NUL.
    void Text(const std::string& str);
    void Align();

private:
    std::vector<WORD> m_Words;
};
