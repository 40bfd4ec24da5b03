#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit.h"
#include "ui/window.h"

namespace velorin::scripted {

// What the person does while one window is shown modally, in order. Built
// fluently: user.OnShow("frmZoomFlash").Pick("cboLyr1", "Catchment").Press("cmdOK").
// Each action is checked as a person would meet it: the control must exist, be of
// the right kind, and be enabled and visible (with its frames); a failing check
// ends the test with a ScriptError naming the window and the control.
class Scene {
  public:
    // `window` is the layout name ("frmZoomFlash") or the caption the window
    // shows when it is shown ("Help:  Zoom and Flash").
    explicit Scene(std::string window) : m_window(std::move(window)) {}

    // Picks the first entry with exactly this text; an entry not in the list fails.
    Scene& Pick(std::string_view control, std::string_view entry);
    Scene& PickIndex(std::string_view control, int index);
    // Replaces the box's text by typing `text`; typing stops at the maximum length.
    Scene& Type(std::string_view control, std::string_view text);
    // Sets a check box to 0 or 1 (clicking it only if that changes it).
    Scene& Check(std::string_view control, int value);
    Scene& Press(std::string_view control);
    // Enter: presses the default button when it is usable; otherwise nothing.
    Scene& PressEnter();
    // Closes the window with its close box: the window unloads.
    Scene& Close();
    // A step of the test's own, run at this point with the shown window, for
    // example to look at what the person sees.
    Scene& Do(std::function<void(ui::Window&)> step);

    const std::string& WindowKey() const { return m_window; }
    bool Matches(const ui::Window& window) const;

    // Plays the actions on `window`, each through the toolkit's error edge
    // (Toolkit::RunAtEdge), as a real toolkit runs a person's action: whatever a
    // form's handlers raise is shown in a box and the next action follows.
    // ScriptErrors pass through.
    void Play(ui::Window& window, ui::Toolkit& toolkit) const;

  private:
    enum class ActionKind { Pick, PickIndex, Type, Check, Press, PressEnter, Close, Do };
    struct Action {
        ActionKind kind = ActionKind::Do;
        std::string control{};
        std::string text{};
        int number = 0;
        std::function<void(ui::Window&)> step{};
    };

    Scene& Add(Action action);
    static std::string Describe(const Action& action);
    static void Run(const Action& action, ui::Window& window);

    std::string m_window;
    std::vector<Action> m_actions;
};

}  // namespace velorin::scripted
