// The four columns of both programs' connection lists: name, type, status, shared.
#pragma once

#include "ListCtrl.h"

inline void InsertConnectionColumns(CListCtrl& list)
{
    list.InsertColumn(0, "Name", LVCFMT_LEFT, 160);
    list.InsertColumn(1, "Type", LVCFMT_LEFT, 120);
    list.InsertColumn(2, "Connection status", LVCFMT_LEFT, 100);
    list.InsertColumn(3, "Shared", LVCFMT_LEFT, 60);
}
