#include "platform/win32/window_icon.h"

#include "platform/win32/resource_ids.h"

namespace velorin::win32 {

HMODULE CodeModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&CodeModule), &module);
    return module;
}

HICON LoadWindowIcon(int size) noexcept {
    return static_cast<HICON>(LoadImageW(CodeModule(), MAKEINTRESOURCEW(VELORIN_IDI_WINDOW),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

}  // namespace velorin::win32
