#pragma once

#include "commands/command.h"

namespace velorin::commands {

// "Copy Legend Colors": gives the Related layer a unique value legend in the
// colours the Source layer's legend draws the matching Source features with.
class clsCopyLegend final : public Command {
  public:
    clsCopyLegend() = default;
    clsCopyLegend(const clsCopyLegend&) = delete;
    clsCopyLegend& operator=(const clsCopyLegend&) = delete;
    clsCopyLegend(clsCopyLegend&&) = delete;
    clsCopyLegend& operator=(clsCopyLegend&&) = delete;
    // Unloads and drops the shared dialog, as clsZoomFlash does for its own.
    ~clsCopyLegend() override;

    std::string Name() const override { return "Velorin_CopyLegend"; }
    std::string Caption() const override { return "Copy Legend"; }
    std::string Tooltip() const override {
        return "Copy Legend Colors from Source Features to Related Features";
    }

  protected:
    void Run() override;
};

}  // namespace velorin::commands
