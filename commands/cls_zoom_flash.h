#pragma once

#include "commands/command.h"

namespace velorin::commands {

// "Zoom and Flash": visits Source features one by one, zooms to each and its
// Related features, and flashes their shapes.
class clsZoomFlash final : public Command {
  public:
    clsZoomFlash() = default;
    clsZoomFlash(const clsZoomFlash&) = delete;
    clsZoomFlash& operator=(const clsZoomFlash&) = delete;
    clsZoomFlash(clsZoomFlash&&) = delete;
    clsZoomFlash& operator=(clsZoomFlash&&) = delete;
    // Unloads and drops the shared dialog, so the next click by any object of
    // this class starts with a fresh one.
    ~clsZoomFlash() override;

    std::string Name() const override { return "Velorin_ZoomFlash"; }
    std::string Caption() const override { return "Zoom and Flash"; }
    std::string Tooltip() const override {
        return "Zoom to features and flash their geometries, then flash related features";
    }

  protected:
    void Run() override;
};

}  // namespace velorin::commands
