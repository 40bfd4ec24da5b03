#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/application.h"

namespace velorin::commands {

// What the two command objects share: the fixed properties a host reads to show
// a command, the application it is handed once, and the error trap around a
// click. A click is one complete, modal run of the tool; nothing below the trap
// catches errors, so every unexpected failure of a run ends here as one box.
class Command {
  public:
    Command() = default;
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;
    Command(Command&&) = delete;
    Command& operator=(Command&&) = delete;
    virtual ~Command() = default;

    // Always clickable: the dialog and the engine report what the map lacks.
    bool Enabled() const { return true; }
    bool Checked() const { return false; }
    virtual std::string Name() const = 0;
    virtual std::string Caption() const = 0;
    virtual std::string Tooltip() const = 0;
    std::string Message() const { return Tooltip(); }
    std::string HelpFile() const { return {}; }
    std::int32_t HelpContextID() const { return 0; }
    // No bitmap: the host shows the caption.
    std::int32_t Bitmap() const { return 0; }
    std::string Category() const { return "Velorin"; }

    // Keeps the hook as the application, replacing any earlier one. A hook that
    // is not an application raises a type mismatch (13) and changes nothing; no
    // box is shown, the caller (the host) hears the failure.
    void OnCreate(const std::shared_ptr<host::IUnknown>& hook);

    // Runs the tool inside the trap: whatever the run, the dialog, the engine or a
    // host call raises is shown as one "Error " + number + ": " + description box
    // (OK only, no icon, default title; out of memory is error 7, any other
    // exception that is not a velorin::Error an internal error, 51, with its
    // text), and the command stays usable.
    void OnClick();

    const std::shared_ptr<host::IApplication>& Application() const { return m_application; }

  protected:
    // The tool run; may raise velorin::Error.
    virtual void Run() = 0;

  private:
    std::shared_ptr<host::IApplication> m_application;
};

}  // namespace velorin::commands
