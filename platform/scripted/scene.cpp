#include "platform/scripted/scene.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/scripted/script_error.h"

namespace velorin::scripted {

namespace {

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

std::string Number(int value) {
    std::array<char, 16> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), result.ptr);
}

// "window "Zoom and Flash" (frmZoomFlash)", the start of every complaint.
std::string WindowTitle(const ui::Window& window) {
    return "window " + Quoted(window.Caption()) + " (" + window.Name() + ")";
}

[[noreturn]] void Fail(const ui::Window& window, std::string_view problem) {
    throw ScriptError(WindowTitle(window) + ": " + std::string(problem));
}

template <class T>
T& Usable(ui::Window& window, std::string_view name) {
    ui::Control* control = window.FindControl(name);
    if (control == nullptr) {
        Fail(window, "no control named " + Quoted(name));
    }
    T* typed = ui::As<T>(*control);
    if (typed == nullptr) {
        Fail(window, std::string(name) + " is a " + std::string(ui::KindName(control->Kind())) +
                         ", not a " + std::string(ui::KindName(T::kKind)));
    }
    if (!control->Interactive()) {
        const char* why = !control->Visible()   ? "it is hidden"
                          : !control->Enabled() ? "it is disabled"
                                                : "its frame is disabled or hidden";
        Fail(window, std::string(name) + " cannot be used: " + why);
    }
    return *typed;
}

std::string Entries(const ui::ComboBox& list) {
    std::string entries;
    for (const std::string& item : list.Items()) {
        entries += entries.empty() ? "" : ", ";
        entries += Quoted(item);
    }
    return entries.empty() ? "none" : entries;
}

}  // namespace

Scene& Scene::Pick(std::string_view control, std::string_view entry) {
    return Add(
        {.kind = ActionKind::Pick, .control = std::string(control), .text = std::string(entry)});
}

Scene& Scene::PickIndex(std::string_view control, int index) {
    return Add({.kind = ActionKind::PickIndex, .control = std::string(control), .number = index});
}

Scene& Scene::Type(std::string_view control, std::string_view text) {
    return Add(
        {.kind = ActionKind::Type, .control = std::string(control), .text = std::string(text)});
}

Scene& Scene::Check(std::string_view control, int value) {
    return Add({.kind = ActionKind::Check, .control = std::string(control), .number = value});
}

Scene& Scene::Press(std::string_view control) {
    return Add({.kind = ActionKind::Press, .control = std::string(control)});
}

Scene& Scene::PressEnter() { return Add({.kind = ActionKind::PressEnter}); }

Scene& Scene::Close() { return Add({.kind = ActionKind::Close}); }

Scene& Scene::Do(std::function<void(ui::Window&)> step) {
    return Add({.kind = ActionKind::Do, .step = std::move(step)});
}

Scene& Scene::Add(Action action) {
    m_actions.push_back(std::move(action));
    return *this;
}

bool Scene::Matches(const ui::Window& window) const {
    return m_window == window.Name() || m_window == window.Caption();
}

void Scene::Play(ui::Window& window, ui::Toolkit& toolkit) const {
    for (std::size_t i = 0; i < m_actions.size(); ++i) {
        if (!window.Loaded() || !window.Visible()) {
            Fail(window, "closed before the scene's action " + Number(static_cast<int>(i) + 1) +
                             " (" + Describe(m_actions[i]) + ") could run");
        }
        toolkit.RunAtEdge([&] { Run(m_actions[i], window); });
    }
}

std::string Scene::Describe(const Action& action) {
    switch (action.kind) {
        case ActionKind::Pick:
            return "pick " + Quoted(action.text) + " in " + action.control;
        case ActionKind::PickIndex:
            return "pick entry " + Number(action.number) + " in " + action.control;
        case ActionKind::Type:
            return "type " + Quoted(action.text) + " into " + action.control;
        case ActionKind::Check:
            return "set " + action.control + " to " + Number(action.number);
        case ActionKind::Press:
            return "press " + action.control;
        case ActionKind::PressEnter:
            return "press Enter";
        case ActionKind::Close:
            return "close the window";
        case ActionKind::Do:
            return "the test's own step";
    }
    return "an action";
}

void Scene::Run(const Action& action, ui::Window& window) {
    switch (action.kind) {
        case ActionKind::Pick: {
            auto& list = Usable<ui::ComboBox>(window, action.control);
            const std::int16_t index = list.FindItem(action.text);
            if (index < 0) {
                Fail(window, action.control + " has no entry " + Quoted(action.text) +
                                 "; entries: " + Entries(list));
            }
            list.SetListIndex(index);
            return;
        }
        case ActionKind::PickIndex: {
            auto& list = Usable<ui::ComboBox>(window, action.control);
            if (action.number < 0 || action.number >= list.ListCount()) {
                Fail(window, action.control + " has no entry " + Number(action.number) +
                                 "; entries: " + Entries(list));
            }
            list.SetListIndex(action.number);
            return;
        }
        case ActionKind::Type:
            Usable<ui::TextBox>(window, action.control).SetText(action.text);
            return;
        case ActionKind::Check:
            if (action.number != 0 && action.number != 1) {
                Fail(window, "a check box holds 0 or 1, not " + Number(action.number) + " (" +
                                 action.control + ")");
            }
            Usable<ui::CheckBox>(window, action.control).SetValue(action.number);
            return;
        case ActionKind::Press:
            Usable<ui::CommandButton>(window, action.control).Click();
            return;
        case ActionKind::PressEnter:
            window.PressEnter();
            return;
        case ActionKind::Close:
            window.Unload();
            return;
        case ActionKind::Do:
            action.step(window);
            return;
    }
}

}  // namespace velorin::scripted
