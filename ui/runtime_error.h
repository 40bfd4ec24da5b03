#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "host/error.h"

// The system's own run-time errors: the numbers and descriptions a tool or a
// dialog raises as velorin::Error when a value does not fit or a call is wrong.
// Host failures carry negative numbers and never come from here.
namespace velorin::ui {

inline constexpr std::int32_t kErrInvalidProcedureCall = 5;
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrDivisionByZero = 11;
inline constexpr std::int32_t kErrTypeMismatch = 13;
inline constexpr std::int32_t kErrInternal = 51;
inline constexpr std::int32_t kErrInvalidUseOfNull = 94;
inline constexpr std::int32_t kErrInvalidPropertyValue = 380;
inline constexpr std::int32_t kErrInvalidPropertyArrayIndex = 381;
inline constexpr std::int32_t kErrCannotShowModally = 400;
inline constexpr std::int32_t kErrObjectRequired = 424;
inline constexpr std::int32_t kErrControlNotFound = 730;

// The standard description of one of the numbers above ("Overflow"), or
// "Application-defined or object-defined error" for any other number.
std::string_view RuntimeErrorDescription(std::int32_t number);

// Throws velorin::Error(number, standard description).
[[noreturn]] void RaiseRuntimeError(std::int32_t number);
// Throws velorin::Error(number, "<standard description>: <detail>").
[[noreturn]] void RaiseRuntimeError(std::int32_t number, std::string_view detail);

[[noreturn]] void RaiseOverflow();
[[noreturn]] void RaiseTypeMismatch();
[[noreturn]] void RaiseInvalidProcedureCall();
[[noreturn]] void RaiseDivisionByZero();
[[noreturn]] void RaiseInvalidUseOfNull();
[[noreturn]] void RaiseObjectRequired();

// Rounds to the nearest integer, halves to the even neighbour (12.5 -> 12,
// 13.5 -> 14, -0.5 -> 0), and raises overflow (6) when the result does not fit
// or the value is not finite (NaN and infinities fit no integer).
std::int16_t ToInt16Checked(double value);
std::int32_t ToInt32Checked(double value);

// "Error " + number + ": " + description, the one text every edge shows for an
// error it catches (a command's trap, a toolkit's event slot).
std::string ErrorMessageText(const velorin::Error& error);

// The error an edge shows for an exception it caught (Toolkit::RunAtEdge):
//   velorin::Error         itself;
//   std::bad_alloc         out of memory (7), "Out of memory";
//   other std::exception   internal error (51), "Internal error: <what()>";
//   anything else          internal error (51), "Internal error".
// `caught` must not be null.
velorin::Error ErrorOfException(const std::exception_ptr& caught);

}  // namespace velorin::ui
