// The operating-system version, read once at start, and the family check.
#pragma once

#include "platform/win32api.h"

// Fills the process-wide version record (size field 148, then GetVersionExA).
// Raises EWin32Error for the last error when GetVersionExA fails.
void WinVerStart();

// The version record filled by WinVerStart.
const OSVERSIONINFOA& WinVersion();

// True when the platform identifier of the version record is
// VER_PLATFORM_WIN32_NT. Makes no system call.
bool IsWinNT();
