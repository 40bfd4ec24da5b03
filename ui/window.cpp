#include "ui/window.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

#include "ui/runtime_error.h"

namespace velorin::ui {

namespace {

[[noreturn]] void RaiseBadLayout(std::string_view window, std::string_view problem) {
    std::string detail = "layout of ";
    detail += window;
    detail += ": ";
    detail += problem;
    RaiseRuntimeError(kErrInvalidPropertyValue, detail);
}

std::unique_ptr<Control> MakeControl(Window& window, const ControlLayout& row) {
    switch (row.kind) {
        case ControlKind::Frame:
            return std::make_unique<Frame>(window, row);
        case ControlKind::Label:
            return std::make_unique<Label>(window, row);
        case ControlKind::ComboBox:
            return std::make_unique<ComboBox>(window, row);
        case ControlKind::TextBox:
            return std::make_unique<TextBox>(window, row);
        case ControlKind::CheckBox:
            return std::make_unique<CheckBox>(window, row);
        case ControlKind::CommandButton:
            return std::make_unique<CommandButton>(window, row);
    }
    RaiseBadLayout(window.Name(), "unknown control kind");
}

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

}  // namespace

Window::Window(const WindowLayout& layout)
    : m_name(layout.name),
      m_declaredCaption(layout.caption),
      m_clientWidth(layout.clientWidth),
      m_clientHeight(layout.clientHeight),
      m_resizable(layout.resizable),
      m_minMaxButtons(layout.minMaxButtons),
      m_centerOnScreen(layout.centerOnScreen),
      m_caption(layout.caption) {
    if (layout.controls.size() >
        static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
        RaiseBadLayout(m_name, "too many controls");
    }
    if (m_clientWidth < 0 || m_clientHeight < 0) {
        RaiseBadLayout(m_name, "negative client size");
    }
    m_controls.reserve(layout.controls.size());
    for (const ControlLayout& row : layout.controls) {
        if (!row.name.empty() && FindControl(row.name) != nullptr) {
            RaiseBadLayout(m_name, "two controls named " + Quoted(row.name));
        }
        if (row.width < 0 || row.height < 0) {
            RaiseBadLayout(m_name, "negative size of " + Quoted(row.name));
        }
        if (row.kind == ControlKind::CheckBox && row.settings.value != 0 &&
            row.settings.value != 1) {
            RaiseBadLayout(m_name, "check box value other than 0 or 1 for " + Quoted(row.name));
        }
        if (row.settings.maxLength < 0) {
            RaiseBadLayout(m_name, "negative maximum length for " + Quoted(row.name));
        }
        m_controls.push_back(MakeControl(*this, row));
    }
    // Containers may be declared after the controls they hold, so resolve them
    // once every control exists; a frame must not hold itself, even indirectly.
    for (const auto& control : m_controls) {
        if (control->m_containerName.empty()) {
            continue;
        }
        const ui::Control* container = FindControl(control->m_containerName);
        if (container == nullptr || container->Kind() != ControlKind::Frame) {
            RaiseBadLayout(m_name, Quoted(control->m_name) + " sits in " +
                                       Quoted(control->m_containerName) +
                                       ", which is not a frame of this window");
        }
        control->m_container = container;
    }
    for (const auto& control : m_controls) {
        std::size_t depth = 0;
        for (const ui::Control* c = control->m_container; c != nullptr; c = c->m_container) {
            if (++depth > m_controls.size()) {
                RaiseBadLayout(
                    m_name, "frames holding each other around " + Quoted(control->m_containerName));
            }
        }
    }
    // Rows with a declared tab index come first, by that index; the others follow
    // in row order. The result numbers every control 0..n-1.
    std::vector<std::size_t> order(m_controls.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&layout](std::size_t a, std::size_t b) {
        const auto key = [](std::int16_t tabIndex) {
            return tabIndex < 0 ? std::numeric_limits<int>::max() : int{tabIndex};
        };
        return key(layout.controls[a].tabIndex) < key(layout.controls[b].tabIndex);
    });
    for (std::size_t position = 0; position < order.size(); ++position) {
        ui::Control* control = m_controls[order[position]].get();
        control->m_declared.tabIndex = static_cast<std::int16_t>(position);
        control->m_tabIndex = static_cast<std::int16_t>(position);
        m_declaredTabOrder.push_back(control);
    }
    m_tabOrder = m_declaredTabOrder;
}

Window::~Window() = default;

void Window::SetCaption(std::string caption) {
    Load();
    m_caption = std::move(caption);
    NotifyWindow(WindowChange::Caption);
}

void Window::Load() {
    if (m_loaded) {
        return;
    }
    // Marked loaded before the handler runs: the handler touches controls, which
    // must not load the window a second time.
    m_loaded = true;
    NotifyWindow(WindowChange::Loaded);
    m_load.Fire();
}

void Window::Show() {
    Load();
    if (m_visible) {
        return;
    }
    m_visible = true;
    NotifyWindow(WindowChange::Shown);
}

void Window::Hide() {
    if (!m_visible) {
        return;
    }
    m_visible = false;
    NotifyWindow(WindowChange::Hidden);
}

void Window::Unload() {
    if (!m_loaded || m_unloading) {
        return;
    }
    m_unloading = true;
    // The reset runs whether or not the handler raises: a window half unloaded
    // would keep a modal show running with no way out.
    class Finish {
      public:
        explicit Finish(Window& owner) : window(owner) {}
        ~Finish() {
            for (const auto& control : window.m_controls) {
                control->ResetToLayout();
            }
            window.ResetTabOrder();
            window.m_caption = window.m_declaredCaption;
            window.m_visible = false;
            window.m_loaded = false;
            window.m_unloading = false;
            window.NotifyWindow(WindowChange::Unloaded);
        }
        Finish(const Finish&) = delete;
        Finish(Finish&&) = delete;
        Finish& operator=(const Finish&) = delete;
        Finish& operator=(Finish&&) = delete;

      private:
        Window& window;
    };
    const Finish finish(*this);
    m_unload.Fire();
}

void Window::PressEnter() {
    Load();
    if (ui::CommandButton* button = FlaggedButton(false);
        button != nullptr && button->Interactive()) {
        button->Click();
    }
}

void Window::PressEsc() {
    Load();
    if (ui::CommandButton* button = FlaggedButton(true);
        button != nullptr && button->Interactive()) {
        button->Click();
    }
}

ui::Control& Window::Control(std::string_view name) {
    ui::Control* control = FindControl(name);
    if (control == nullptr) {
        std::string detail = m_name;
        detail += '.';
        detail += name;
        RaiseRuntimeError(kErrControlNotFound, detail);
    }
    return *control;
}

ui::Frame& Window::Frame(std::string_view name) { return Cast<ui::Frame>(Control(name)); }
ui::Label& Window::Label(std::string_view name) { return Cast<ui::Label>(Control(name)); }
ui::ComboBox& Window::ComboBox(std::string_view name) { return Cast<ui::ComboBox>(Control(name)); }
ui::TextBox& Window::TextBox(std::string_view name) { return Cast<ui::TextBox>(Control(name)); }
ui::CheckBox& Window::CheckBox(std::string_view name) { return Cast<ui::CheckBox>(Control(name)); }
ui::CommandButton& Window::Button(std::string_view name) {
    return Cast<ui::CommandButton>(Control(name));
}

ui::Control* Window::FindControl(std::string_view name) {
    return const_cast<ui::Control*>(std::as_const(*this).FindControl(name));
}

const ui::Control* Window::FindControl(std::string_view name) const {
    if (name.empty()) {
        return nullptr;
    }
    for (const auto& control : m_controls) {
        if (control->Name() == name) {
            return control.get();
        }
    }
    return nullptr;
}

ui::CommandButton* Window::DefaultButton() { return FlaggedButton(false); }

ui::CommandButton* Window::FlaggedButton(bool cancel) {
    for (const auto& control : m_controls) {
        if (auto* button = As<ui::CommandButton>(*control);
            button != nullptr && (cancel ? button->Cancel() : button->Default())) {
            return button;
        }
    }
    return nullptr;
}

void Window::NotifyWindow(WindowChange change) {
    if (m_observer != nullptr) {
        m_observer->WindowChanged(*this, change);
    }
}

void Window::NotifyControl(ui::Control& control, ControlChange change) {
    if (m_observer != nullptr) {
        m_observer->ControlChanged(control, change);
    }
}

void Window::MoveInTabOrder(ui::Control& control, int index) {
    const auto current = std::find(m_tabOrder.begin(), m_tabOrder.end(), &control);
    m_tabOrder.erase(current);
    const auto position = std::min(static_cast<std::size_t>(index), m_tabOrder.size());
    m_tabOrder.insert(m_tabOrder.begin() + static_cast<std::ptrdiff_t>(position), &control);
    for (std::size_t i = 0; i < m_tabOrder.size(); ++i) {
        const auto tabIndex = static_cast<std::int16_t>(i);
        if (m_tabOrder[i]->m_tabIndex != tabIndex) {
            m_tabOrder[i]->m_tabIndex = tabIndex;
            NotifyControl(*m_tabOrder[i], ControlChange::TabIndex);
        }
    }
}

void Window::ResetTabOrder() { m_tabOrder = m_declaredTabOrder; }

void Window::BeginModal() {
    if (m_visible || m_modal) {
        RaiseRuntimeError(kErrCannotShowModally, Quoted(m_caption));
    }
    Load();
    m_visible = true;
    m_modal = true;
    NotifyWindow(WindowChange::Shown);
}

void Window::EndModal() { m_modal = false; }

}  // namespace velorin::ui
