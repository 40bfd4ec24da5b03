#pragma once

#include <cstdint>
#include <utility>

#include "commands/com/com_prelude.h"

// The COM boundary: nothing thrown inside the library may reach a COM caller.
// Every method a client can call runs its body through Guarded.
namespace velorin::com {

// The HRESULT a COM caller sees for velorin::Error `number`: a negative number
// is already the host's HRESULT and passes unchanged; the system's own
// run-time errors map to the matching automation codes (13 type mismatch ->
// DISP_E_TYPEMISMATCH, 6 overflow -> DISP_E_OVERFLOW, 7 out of memory ->
// E_OUTOFMEMORY) or, for any other number up to 65535, to the control
// facility's code 0x800A0000 + number; 0 and larger numbers give E_FAIL.
HRESULT HresultFromErrorNumber(std::int32_t number) noexcept;

// Turns the exception being handled into an HRESULT and leaves its description
// as the thread's error info (source "Velorin") for callers that ask. Call only
// from inside a catch handler.
HRESULT HresultFromCurrentException() noexcept;

// Runs `body` (returning an HRESULT) and turns anything it throws into one.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return HresultFromCurrentException();
    }
}

}  // namespace velorin::com
