#pragma once

#include <string>

namespace velorin::gdal {

// Keeps GDAL's messages off stderr while it lives and remembers the first failure,
// so a failed open or read can be reported as one error naming the file. Scopes
// nest; GDAL's handler stack is per thread, so a scope belongs to its thread.
class GdalErrorScope {
  public:
    GdalErrorScope();
    ~GdalErrorScope();
    GdalErrorScope(const GdalErrorScope&) = delete;
    GdalErrorScope& operator=(const GdalErrorScope&) = delete;
    GdalErrorScope(GdalErrorScope&&) = delete;
    GdalErrorScope& operator=(GdalErrorScope&&) = delete;

    bool Failed() const { return !m_failure.empty(); }
    // The first failure's message (trailing blanks removed); "" when none.
    const std::string& Failure() const { return m_failure; }
    // Failure(), else the alternative.
    std::string FailureOr(const std::string& alternative) const;

  private:
    friend void Record(GdalErrorScope& scope, bool failure, const char* message);
    std::string m_failure;
};

// Registers GDAL's drivers, once per process.
void RegisterGdalDrivers();

}  // namespace velorin::gdal
