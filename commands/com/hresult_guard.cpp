#include "commands/com/hresult_guard.h"

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "commands/com/bstr.h"
#include "host/error.h"
#include "ui/runtime_error.h"

namespace velorin::com {
namespace {

constexpr std::int32_t kLargestControlCode = 0xFFFF;

// Leaves `description` as the thread's error info. Best effort: a caller still
// gets the HRESULT when the error object cannot be made.
void SetErrorDescription(std::string_view description) noexcept {
    try {
        ICreateErrorInfo* create = nullptr;
        if (FAILED(CreateErrorInfo(&create)) || create == nullptr) {
            return;
        }
        const std::wstring text = ToUtf16(description);
        create->SetSource(const_cast<LPOLESTR>(L"Velorin"));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    } catch (...) {
        // Out of memory while describing an error: the HRESULT alone must do.
    }
}

}  // namespace

HRESULT HresultFromErrorNumber(std::int32_t number) noexcept {
    if (number < 0) {
        return static_cast<HRESULT>(number);
    }
    switch (number) {
        case ui::kErrTypeMismatch:
            return DISP_E_TYPEMISMATCH;
        case ui::kErrOverflow:
            return DISP_E_OVERFLOW;
        case ui::kErrOutOfMemory:
            return E_OUTOFMEMORY;
        default:
            break;
    }
    if (number == 0 || number > kLargestControlCode) {
        return E_FAIL;
    }
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

HRESULT HresultFromCurrentException() noexcept {
    try {
        throw;
    } catch (const velorin::Error& error) {
        SetErrorDescription(error.Description());
        return HresultFromErrorNumber(error.Number());
    } catch (const std::bad_alloc&) {
        // No error info: making it would need the memory that just ran out.
        return E_OUTOFMEMORY;
    } catch (const std::exception& error) {
        SetErrorDescription(error.what());
        return E_UNEXPECTED;
    } catch (...) {
        SetErrorDescription("Unexpected failure inside Velorin");
        return E_UNEXPECTED;
    }
}

}  // namespace velorin::com
