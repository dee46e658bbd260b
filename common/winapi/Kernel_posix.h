// SPDX-License-Identifier: GPL-3.0-or-later
// Kernel services: last-error value, events, waits, Sleep, threads, the debugger output and the
// text conversion between wide text and the code page. Handles are kernel objects: an event, or a
// thread that is signalled when it has ended.
#pragma once

#include "WinTypes_posix.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID lpParameter);
struct SECURITY_ATTRIBUTES;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;
inline constexpr UINT CP_ACP = 0;

DWORD GetLastError();
void SetLastError(DWORD dwErrorCode);

// Named events are not offered: every event of this system belongs to one process.
HANDLE CreateEventA(SECURITY_ATTRIBUTES* lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);
BOOL CloseHandle(HANDLE hObject);

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds);
void Sleep(DWORD dwMilliseconds);

HANDLE CreateThread(SECURITY_ATTRIBUTES* lpThreadAttributes, std::size_t dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
inline constexpr DWORD STILL_ACTIVE = 259;

void OutputDebugStringA(LPCSTR lpOutputString);

// The system's message for an error code, as Windows words it, for the codes this system meets.
// Only messages from the system, without inserts, into the caller's buffer.
inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
inline constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                     LPSTR lpBuffer, DWORD nSize, void* Arguments);

// Converts wide text to the narrow text of the code page (CP_ACP only); returns the number of
// bytes written, or the number needed when cbMultiByte is 0. The input ends at its first NUL when
// cchWideChar is -1, and that NUL is then converted too.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, const wchar_t* lpWideCharStr, int cchWideChar,
                        char* lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL* lpUsedDefaultChar);
// The other way: each byte that starts no valid sequence becomes U+FFFD, and what follows it
// still reads.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, const char* lpMultiByteStr, int cbMultiByte,
                        wchar_t* lpWideCharStr, int cchWideChar);
