#include "ui/runtime_error.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <new>

namespace velorin::ui {

namespace {

// Half-to-even without relying on the floating-point environment's rounding mode,
// which a host or a toolkit may have changed.
double RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5) {
        return lower;
    }
    if (fraction > 0.5) {
        return lower + 1.0;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

template <class Int>
Int ToIntegerChecked(double value) {
    if (!std::isfinite(value)) {
        RaiseOverflow();
    }
    const double rounded = RoundHalfEven(value);
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        RaiseOverflow();
    }
    return static_cast<Int>(rounded);
}

}  // namespace

std::string_view RuntimeErrorDescription(std::int32_t number) {
    switch (number) {
        case kErrInvalidProcedureCall:
            return "Invalid procedure call or argument";
        case kErrOverflow:
            return "Overflow";
        case kErrOutOfMemory:
            return "Out of memory";
        case kErrDivisionByZero:
            return "Division by zero";
        case kErrTypeMismatch:
            return "Type mismatch";
        case kErrInternal:
            return "Internal error";
        case kErrInvalidUseOfNull:
            return "Invalid use of Null";
        case kErrInvalidPropertyValue:
            return "Invalid property value";
        case kErrInvalidPropertyArrayIndex:
            return "Invalid property array index";
        case kErrCannotShowModally:
            return "Form already displayed; can't show modally";
        case kErrObjectRequired:
            return "Object required";
        case kErrControlNotFound:
            return "Control not found";
        default:
            return "Application-defined or object-defined error";
    }
}

void RaiseRuntimeError(std::int32_t number) {
    throw velorin::Error(number, std::string(RuntimeErrorDescription(number)));
}

void RaiseRuntimeError(std::int32_t number, std::string_view detail) {
    std::string description(RuntimeErrorDescription(number));
    description += ": ";
    description += detail;
    throw velorin::Error(number, std::move(description));
}

void RaiseOverflow() { RaiseRuntimeError(kErrOverflow); }
void RaiseTypeMismatch() { RaiseRuntimeError(kErrTypeMismatch); }
void RaiseInvalidProcedureCall() { RaiseRuntimeError(kErrInvalidProcedureCall); }
void RaiseDivisionByZero() { RaiseRuntimeError(kErrDivisionByZero); }
void RaiseInvalidUseOfNull() { RaiseRuntimeError(kErrInvalidUseOfNull); }
void RaiseObjectRequired() { RaiseRuntimeError(kErrObjectRequired); }

std::int16_t ToInt16Checked(double value) { return ToIntegerChecked<std::int16_t>(value); }

std::int32_t ToInt32Checked(double value) { return ToIntegerChecked<std::int32_t>(value); }

std::string ErrorMessageText(const velorin::Error& error) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), error.Number());
    std::string text = "Error ";
    text.append(digits.data(), result.ptr);
    text += ": ";
    text += error.Description();
    return text;
}

velorin::Error ErrorOfException(const std::exception_ptr& caught) {
    try {
        std::rethrow_exception(caught);
    } catch (const velorin::Error& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return velorin::Error(kErrOutOfMemory,
                              std::string(RuntimeErrorDescription(kErrOutOfMemory)));
    } catch (const std::exception& error) {
        std::string description(RuntimeErrorDescription(kErrInternal));
        description += ": ";
        description += error.what();
        return velorin::Error(kErrInternal, std::move(description));
    } catch (...) {
        return velorin::Error(kErrInternal, std::string(RuntimeErrorDescription(kErrInternal)));
    }
}

}  // namespace velorin::ui
