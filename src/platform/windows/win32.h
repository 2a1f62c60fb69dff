// The Win32 API as Windows provides it: advapi32, kernel32 and user32.
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // RegGetValueA and RegDeleteKeyExA need Vista.
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
