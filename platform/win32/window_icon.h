#pragma once

#include "platform/win32/windows_api.h"

namespace velorin::win32 {

// The module the toolkit's code is linked into (Velorin.dll, or a test program
// that links the toolkit statically): where its resources are and the instance
// its windows belong to.
HMODULE CodeModule() noexcept;

// The shared window icon at `size` pixels square, loaded from CodeModule()'s
// resources; null when the module lacks it. The caller owns the icon
// (DestroyIcon).
HICON LoadWindowIcon(int size) noexcept;

}  // namespace velorin::win32
