#include "platform/objects/status_bar.h"

#include <algorithm>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::objects {

// ---- StepProgressor --------------------------------------------------------------

StepProgressor::StepProgressor(std::shared_ptr<HostContext> context)
    : m_context(std::move(context)) {}

void StepProgressor::Enter(const char* member) const { Announce(m_context, member); }

std::int32_t StepProgressor::Clamp(std::int64_t value) const {
    if (m_min > m_max) return m_min;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, m_min, m_max));
}

void StepProgressor::Record(const char* event) {
    if (!m_context) return;
    if (m_context->recordProgress) {
        m_context->record.progress.push_back(ProgressRecord{event, m_position, m_message});
    }
    if (m_context->hooks.progressChanged) m_context->hooks.progressChanged();
}

std::string StepProgressor::Message() const {
    Enter("IProgressor::Message");
    return m_message;
}
void StepProgressor::SetMessage(const std::string& message) {
    Enter("IProgressor::Message");
    m_message = message;
    Record("Message");
}
void StepProgressor::Show() {
    Enter("IProgressor::Show");
    m_shown = true;
    Record("Show");
}
void StepProgressor::Step() {
    Enter("IProgressor::Step");
    // In 64 bits: a step near the end of the 32-bit range must not wrap around.
    m_position = Clamp(static_cast<std::int64_t>(m_position) + m_step);
    Record("Step");
}
void StepProgressor::Hide() {
    Enter("IProgressor::Hide");
    m_shown = false;
    Record("Hide");
}
std::int32_t StepProgressor::MinRange() const {
    Enter("IStepProgressor::MinRange");
    return m_min;
}
void StepProgressor::SetMinRange(std::int32_t value) {
    Enter("IStepProgressor::MinRange");
    m_min = value;
    m_position = Clamp(m_position);
    Record("Range");
}
std::int32_t StepProgressor::MaxRange() const {
    Enter("IStepProgressor::MaxRange");
    return m_max;
}
void StepProgressor::SetMaxRange(std::int32_t value) {
    Enter("IStepProgressor::MaxRange");
    m_max = value;
    m_position = Clamp(m_position);
    Record("Range");
}
std::int32_t StepProgressor::StepValue() const {
    Enter("IStepProgressor::StepValue");
    return m_step;
}
void StepProgressor::SetStepValue(std::int32_t value) {
    Enter("IStepProgressor::StepValue");
    m_step = value;
}
std::int32_t StepProgressor::Position() const {
    Enter("IStepProgressor::Position");
    return m_position;
}
void StepProgressor::SetPosition(std::int32_t value) {
    Enter("IStepProgressor::Position");
    m_position = Clamp(value);
    Record("Position");
}

// ---- StatusBar ---------------------------------------------------------------------

StatusBar::StatusBar(std::shared_ptr<HostContext> context)
    : m_context(context), m_progressor(std::make_shared<StepProgressor>(std::move(context))) {}

std::size_t StatusBar::CheckPane(std::int32_t pane) const {
    if (pane < 0 || pane >= PaneCount) {
        throw Error(host::E_HOST_INVALIDARG, "The status bar has no pane " + std::to_string(pane) +
                                                 " (0 to " + std::to_string(PaneCount - 1) + ")");
    }
    return static_cast<std::size_t>(pane);
}

std::string StatusBar::Message(std::int32_t pane) const {
    Announce(m_context, "IStatusBar::Message");
    return m_panes[CheckPane(pane)];
}

void StatusBar::SetMessage(std::int32_t pane, const std::string& text) {
    Announce(m_context, "IStatusBar::Message");
    m_panes[CheckPane(pane)] = text;
    if (pane != 0 || !m_context) return;
    m_context->record.statusTexts.push_back(text);
    if (m_context->hooks.statusChanged) m_context->hooks.statusChanged(text);
}

std::shared_ptr<host::IStepProgressor> StatusBar::ProgressBar() const {
    Announce(m_context, "IStatusBar::ProgressBar");
    return m_progressor;
}

}  // namespace velorin::objects
