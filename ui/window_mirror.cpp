#include "ui/window_mirror.h"

#include <algorithm>
#include <array>

#include "ui/toolkit.h"

namespace velorin::ui {

namespace {

// What SyncAll brings up to the model; the tab order follows once, after them.
constexpr std::array kEveryChange = {
    ControlChange::Caption,   ControlChange::Text,      ControlChange::Enabled,
    ControlChange::Visible,   ControlChange::Geometry,  ControlChange::ToolTip,
    ControlChange::Items,     ControlChange::ListIndex, ControlChange::Value,
    ControlChange::MaxLength, ControlChange::Alignment,
};

bool TakesFocus(ControlKind kind) {
    return kind != ControlKind::Frame && kind != ControlKind::Label;
}

// The caption of the kinds that show one; a text box's declared caption is its
// text, and a drop-down list has none.
const std::string* CaptionOf(const Control& control) {
    if (const auto* frame = As<Frame>(control)) return &frame->Caption();
    if (const auto* label = As<Label>(control)) return &label->Caption();
    if (const auto* check = As<CheckBox>(control)) return &check->Caption();
    if (const auto* button = As<CommandButton>(control)) return &button->Caption();
    return nullptr;
}

class MirroringScope {
  public:
    explicit MirroringScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~MirroringScope() { --m_depth; }
    MirroringScope(const MirroringScope&) = delete;
    MirroringScope(MirroringScope&&) = delete;
    MirroringScope& operator=(const MirroringScope&) = delete;
    MirroringScope& operator=(MirroringScope&&) = delete;

  private:
    int& m_depth;
};

}  // namespace

WindowMirror::~WindowMirror() { Detach(); }

void WindowMirror::Attach() {
    SyncAll();
    m_window.SetObserver(this);
    m_attached = true;
}

void WindowMirror::Detach() {
    if (m_attached) {
        m_window.SetObserver(nullptr);
        m_attached = false;
    }
}

void WindowMirror::SyncAll() {
    const MirroringScope mirroring(m_mirroring);
    SyncWindowCaption(m_window.Caption());
    for (std::size_t i = 0; i < m_window.ControlCount(); ++i) {
        for (const ControlChange change : kEveryChange) {
            Sync(m_window.ControlAt(i), change);
        }
    }
    SyncTabOrder();
}

std::vector<Control*> WindowMirror::FocusOrder() const {
    std::vector<Control*> order;
    for (std::size_t i = 0; i < m_window.ControlCount(); ++i) {
        if (Control& control = m_window.ControlAt(i); TakesFocus(control.Kind())) {
            order.push_back(&control);
        }
    }
    std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
        return a->TabIndex() < b->TabIndex();
    });
    return order;
}

Control* WindowMirror::FirstFocus() const {
    for (Control* control : FocusOrder()) {
        if (control->Interactive()) {
            return control;
        }
    }
    return nullptr;
}

void WindowMirror::PersonPicks(ComboBox& list, int index) {
    if (!Mirroring()) {
        m_toolkit.RunAtEdge([&list, index] { list.SetListIndex(index); });
    }
}

void WindowMirror::PersonTypes(TextBox& box, std::string text) {
    if (!Mirroring()) {
        m_toolkit.RunAtEdge([&box, &text] { box.SetText(std::move(text)); });
    }
}

void WindowMirror::PersonClicks(Control& control) {
    if (Mirroring() || !control.Interactive()) {
        return;
    }
    if (auto* check = As<CheckBox>(control)) {
        m_toolkit.RunAtEdge([check] { check->SetValue(check->Checked() ? 0 : 1); });
    } else if (auto* button = As<CommandButton>(control)) {
        m_toolkit.RunAtEdge([button] { button->Click(); });
    }
}

void WindowMirror::PersonPressesEnter() {
    if (!Mirroring()) {
        m_toolkit.RunAtEdge([this] { m_window.PressEnter(); });
    }
}

void WindowMirror::PersonPressesEsc() {
    if (!Mirroring()) {
        m_toolkit.RunAtEdge([this] { m_window.PressEsc(); });
    }
}

void WindowMirror::PersonCloses() {
    if (!Mirroring()) {
        m_toolkit.RunAtEdge([this] { m_window.Unload(); });
    }
}

void WindowMirror::WindowChanged(Window& window, WindowChange change) {
    switch (change) {
        case WindowChange::Caption: {
            const MirroringScope mirroring(m_mirroring);
            SyncWindowCaption(window.Caption());
            return;
        }
        case WindowChange::Loaded:
            SyncAll();
            return;
        case WindowChange::Shown:
            ShowAgain();
            return;
        case WindowChange::Hidden:
            EndShow();
            return;
        case WindowChange::Unloaded:
            // Every control is back at its layout row, reported once.
            SyncAll();
            EndShow();
            return;
    }
}

void WindowMirror::ControlChanged(Control& control, ControlChange change) {
    if (&control.Owner() == &m_window) {
        Sync(control, change);
    }
}

void WindowMirror::Sync(Control& control, ControlChange change) {
    const MirroringScope mirroring(m_mirroring);
    switch (change) {
        case ControlChange::Enabled:
            SyncEnabled(control);
            return;
        case ControlChange::Visible:
            SyncVisible(control);
            return;
        case ControlChange::Geometry:
            SyncGeometry(control);
            return;
        case ControlChange::ToolTip:
            SyncToolTip(control);
            return;
        case ControlChange::TabIndex:
            SyncTabOrder();
            return;
        case ControlChange::Caption:
            if (const std::string* caption = CaptionOf(control)) {
                SyncCaption(control, *caption);
            }
            return;
        case ControlChange::Alignment:
            if (const auto* label = As<Label>(control)) {
                SyncAlignment(control, label->TextAlignment());
            } else if (const auto* box = As<TextBox>(control)) {
                SyncAlignment(control, box->TextAlignment());
            }
            return;
        case ControlChange::Items:
            if (auto* list = As<ComboBox>(control)) SyncItems(*list);
            return;
        case ControlChange::ListIndex:
            if (auto* list = As<ComboBox>(control)) SyncListIndex(*list);
            return;
        case ControlChange::Text:
        case ControlChange::MaxLength:
            if (auto* box = As<TextBox>(control)) SyncText(*box);
            return;
        case ControlChange::Value:
            if (auto* check = As<CheckBox>(control)) SyncValue(*check);
            return;
    }
}

}  // namespace velorin::ui
