#include "platform/win32/message_pump.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace velorin::win32 {

namespace {

constexpr LPARAM kRepeatBit = LPARAM{1} << 30;

bool IsEscPress(const MSG& message) {
    return message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE &&
           (message.lParam & kRepeatBit) == 0;
}

bool IsPersonInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Puts a kept Esc press back at the end of the queue, where the next take finds
// it. A press aimed at a window that has gone since still counts, for the thread.
void Requeue(const MSG& press) {
    if (press.hwnd == nullptr ||
        !PostMessageW(press.hwnd, press.message, press.wParam, press.lParam)) {
        PostThreadMessageW(GetCurrentThreadId(), press.message, press.wParam, press.lParam);
    }
}

}  // namespace

void PumpPendingMessages() {
    std::vector<MSG> escPresses;
    MSG message{};
    for (int handled = 0; handled < kPumpLimit; ++handled) {
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            break;
        }
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (IsEscPress(message)) {
            escPresses.push_back(message);
            continue;
        }
        if (IsPersonInput(message.message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    for (const MSG& press : escPresses) {
        Requeue(press);
    }
}

bool TakeQueuedEscPress() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
        if (IsEscPress(message)) {
            return true;
        }
    }
    return false;
}

}  // namespace velorin::win32
