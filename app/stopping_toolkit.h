#pragma once

#include "ui/toolkit.h"

namespace velorin::app {

// The toolkit of one tool run in the map window: everything passes to the
// toolkit it wraps until Stop, after which every box the run shows is answered
// without showing it (Cancel where there is one, else OK). The window stops a run
// it is asked to close by making the host's cancel checks see Esc; a box then
// asking whether to go on, or telling that the run ended, would stand between
// the person's answer and the close they asked for.
class StoppingToolkit final : public ui::Toolkit {
  public:
    // inner: borrowed; it must outlive this toolkit.
    explicit StoppingToolkit(ui::Toolkit& inner) : m_inner(inner) {}

    void Stop() { m_stopped = true; }
    bool Stopped() const { return m_stopped; }

    void DoEvents() override { m_inner.DoEvents(); }
    std::optional<double> ParseNumber(std::string_view text) override {
        return m_inner.ParseNumber(text);
    }
    std::string FormatNumber(double value) override { return m_inner.FormatNumber(value); }
    bool TakeEscPress() override { return m_stopped || m_inner.TakeEscPress(); }

  protected:
    void RunModal(ui::Window& window) override;
    ui::MsgResult ShowMessageBox(const ui::MessageBoxRequest& request) override;
    void SleepFor(std::int32_t milliseconds) override { m_inner.Sleep(milliseconds); }

  private:
    ui::Toolkit& m_inner;
    bool m_stopped = false;
};

}  // namespace velorin::app
