#pragma once

#include <QObject>

class QEvent;

namespace velorin::qt {

// The application-wide filter behind QtToolkit's Esc handling (see QtToolkit).
// Closed, it lets everything through. Open, it counts each Esc press and
// swallows every user input event and close request, unless a modal window is
// active: a box or dialog that someone opened while the gate was open must stay
// usable, or the person could never close it.
class InputGate final : public QObject {
  public:
    // Installs itself on the running QApplication, which must exist; destroying
    // the gate removes it.
    InputGate();
    ~InputGate() override;
    InputGate(const InputGate&) = delete;
    InputGate(InputGate&&) = delete;
    InputGate& operator=(const InputGate&) = delete;
    InputGate& operator=(InputGate&&) = delete;

    bool Open() const { return m_open; }
    // Returns the previous state, for the caller to put back.
    bool SetOpen(bool open);

    int PendingEscPresses() const { return m_pendingEsc; }
    // True, and one press fewer, when a counted press is pending.
    bool TakeEscPress();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool m_open = false;
    int m_pendingEsc = 0;
};

// Sets the gate open or closed for the lifetime of the scope, then puts back
// what it was, so pumps and modal loops nest.
class GateScope {
  public:
    GateScope(InputGate& gate, bool open) : m_gate(gate), m_previous(gate.SetOpen(open)) {}
    ~GateScope() { m_gate.SetOpen(m_previous); }
    GateScope(const GateScope&) = delete;
    GateScope(GateScope&&) = delete;
    GateScope& operator=(const GateScope&) = delete;
    GateScope& operator=(GateScope&&) = delete;

  private:
    InputGate& m_gate;
    bool m_previous;
};

}  // namespace velorin::qt
