#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "host/application.h"
#include "platform/objects/host_context.h"

// The application's status bar: message panes and a step progress bar. Every
// member announces itself to the context's fault injector first.
namespace velorin::objects {

// The progress bar. New: range 0 to 100, step 1, position 0, no message,
// hidden. Every change is reported through hooks.progressChanged, and recorded
// in context->record.progress when a test asks (context->recordProgress).
//   Position stays within the range: Step stops at the maximum, SetPosition
//   clamps; when the minimum is set above the maximum, positions clamp to the
//   minimum. The step may be negative (the bar then runs backwards).
class StepProgressor final : public host::IStepProgressor {
  public:
    explicit StepProgressor(std::shared_ptr<HostContext> context);

    std::string Message() const override;
    void SetMessage(const std::string& message) override;
    void Show() override;
    void Step() override;
    void Hide() override;
    std::int32_t MinRange() const override;
    void SetMinRange(std::int32_t value) override;
    std::int32_t MaxRange() const override;
    void SetMaxRange(std::int32_t value) override;
    std::int32_t StepValue() const override;
    void SetStepValue(std::int32_t value) override;
    std::int32_t Position() const override;
    void SetPosition(std::int32_t value) override;

    // For the application's status bar widget.
    bool Shown() const { return m_shown; }

  private:
    void Enter(const char* member) const;
    std::int32_t Clamp(std::int64_t value) const;
    void Record(const char* event);

    std::shared_ptr<HostContext> m_context;
    std::string m_message;
    std::int32_t m_min = 0;
    std::int32_t m_max = 100;
    std::int32_t m_step = 1;
    std::int32_t m_position = 0;
    bool m_shown = false;
};

// Panes 0 to PaneCount - 1; pane 0 is the message pane. Setting pane 0 records
// the text in context->record.statusTexts and calls hooks.statusChanged. A pane
// number out of range raises velorin::Error (E_HOST_INVALIDARG).
class StatusBar final : public host::IStatusBar {
  public:
    static constexpr std::int32_t PaneCount = 5;

    explicit StatusBar(std::shared_ptr<HostContext> context);

    std::string Message(std::int32_t pane) const override;
    void SetMessage(std::int32_t pane, const std::string& text) override;
    // The same progress bar every time.
    std::shared_ptr<host::IStepProgressor> ProgressBar() const override;

    const std::shared_ptr<StepProgressor>& Progressor() const { return m_progressor; }

  private:
    std::size_t CheckPane(std::int32_t pane) const;

    std::shared_ptr<HostContext> m_context;
    std::array<std::string, PaneCount> m_panes;
    std::shared_ptr<StepProgressor> m_progressor;
};

}  // namespace velorin::objects
