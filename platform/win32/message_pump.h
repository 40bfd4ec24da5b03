#pragma once

// The running thread's message queue during a run, shared by everything of ours
// on that thread whichever module it is linked into (Velorin.dll's toolkit, a
// host embedding the reference host): the state lives in the queue itself, not
// in any module's memory.
//
// Esc: a press is a WM_KEYDOWN of VK_ESCAPE that is not an auto-repeat (bit 30
// of lParam clear). Pumping never consumes one: it stays queued until exactly one
// TakeQueuedEscPress takes it, so one press stops one cancel check, whoever
// asks, and a press made while the thread slept is still there afterwards. A
// press made while no run pumps goes to whatever window the host's own loop
// gives it and is nobody's cancel request.
namespace velorin::win32 {

// Dispatches the messages already waiting (repaints, timers, posted and sent
// messages) and returns. A person's other keys, clicks, wheel turns and
// non-client clicks (the close box, the title bar) are dropped, so nothing done
// during a run can start another command or close a window under it; Esc
// presses are kept, as above. A WM_QUIT ends the pumping and is posted again for
// the host's own loop. At most kPumpLimit messages are handled per call, so a
// window that keeps asking to be repainted cannot hold the run forever.
void PumpPendingMessages();
inline constexpr int kPumpLimit = 10000;

// True, and the press is gone, when an Esc press is queued; false otherwise.
// Other key presses met on the way are dropped, as PumpPendingMessages drops them.
bool TakeQueuedEscPress();

}  // namespace velorin::win32
