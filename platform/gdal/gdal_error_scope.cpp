#include "platform/gdal/gdal_error_scope.h"

#include <cpl_error.h>
#include <gdal.h>

#include <mutex>

namespace velorin::gdal {

void Record(GdalErrorScope& scope, bool failure, const char* message) {
    if (!failure || !scope.m_failure.empty()) return;
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    scope.m_failure = text.empty() ? "unknown GDAL failure" : std::move(text);
}

namespace {

void CPL_STDCALL Collect(CPLErr errorClass, CPLErrorNum, const char* message) {
    auto* scope = static_cast<GdalErrorScope*>(CPLGetErrorHandlerUserData());
    if (scope) Record(*scope, errorClass == CE_Failure || errorClass == CE_Fatal, message);
}

}  // namespace

GdalErrorScope::GdalErrorScope() {
    CPLPushErrorHandlerEx(Collect, this);
    CPLErrorReset();
}

GdalErrorScope::~GdalErrorScope() { CPLPopErrorHandler(); }

std::string GdalErrorScope::FailureOr(const std::string& alternative) const {
    return m_failure.empty() ? alternative : m_failure;
}

void RegisterGdalDrivers() {
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

}  // namespace velorin::gdal
