#pragma once

// The Windows SDK headers for the Win32 toolkit, in one place.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first for these.
#include <commctrl.h>

// wingdi.h's RGB() macro would rewrite the host object model's IRgbColor::RGB
// member wherever both are seen; nothing here uses the macro.
#undef RGB
