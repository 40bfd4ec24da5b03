#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace velorin {

// The one exception type of the system: a 32-bit signed number and a description.
// Host failures carry negative COM-style codes (HRESULTs read as signed); the
// system's own run-time errors carry small positive numbers (overflow 6, type
// mismatch 13, ...). It is caught in exactly one place per edge: a command's trap,
// the COM boundary, and toolkit event slots.
class Error : public std::runtime_error {
  public:
    Error(std::int32_t number, std::string description)
        : std::runtime_error(description),
          m_number(number),
          m_description(std::move(description)) {}

    std::int32_t Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }

  private:
    std::int32_t m_number;
    std::string m_description;
};

}  // namespace velorin
