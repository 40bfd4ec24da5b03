#pragma once

// The Windows SDK headers for the COM side, in one place; the generated
// velorin.h includes this header in place of com_prelude.idl.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <windows.h>

// wingdi.h's RGB() macro would rewrite the host object model's IRgbColor::RGB
// member wherever both are seen; the COM code never uses the macro.
#undef RGB
