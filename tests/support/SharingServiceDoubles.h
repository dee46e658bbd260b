// SPDX-License-Identifier: GPL-3.0-or-later
// Connections for the in-memory sharing service that tests build.
#pragma once

#include "MemorySharingService.h"

inline CMemorySharingService::SConnection TestConnection(const wchar_t* pszName,
                                                         NETCON_MEDIATYPE mediaType,
                                                         NETCON_STATUS status = NCS_CONNECTED)
{
    CMemorySharingService::SConnection connection;
    connection.strName = pszName;
    connection.MediaType = mediaType;
    connection.Status = status;
    connection.SharingType =
        mediaType == NCM_PHONE ? ICSSHARINGTYPE_PUBLIC : ICSSHARINGTYPE_PRIVATE;
    return connection;
}
