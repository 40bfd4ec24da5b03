#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/scripted/records.h"
#include "platform/scripted/scene.h"
#include "platform/scripted/script_error.h"
#include "ui/toolkit.h"

namespace velorin::scripted {

// The toolkit of tests and batch runs: a script plays the person. It never
// blocks and never waits: a modal show plays the window's scene and returns;
// sleeping advances a virtual clock; anything the script did not foresee (a
// window with no scene, a window left open, a box with no answer) throws a
// ScriptError naming the window or quoting the box.
//
// Message boxes: an answer given with Answer (matched by a part of the text, used
// once) or AnswerAlways (used every time) wins; otherwise an OK and Cancel box
// takes the next answer queued with AnswerNext, and an OK-only box is answered OK
// by itself. Every box is recorded with its answer.
//
// Esc: presses become pending at the moments the script chose, and each pending
// press is taken by exactly one TakeEscPress (one cancel check each).
class ScriptedUser final : public ui::Toolkit {
  public:
    ScriptedUser() = default;
    ~ScriptedUser() override = default;
    ScriptedUser(const ScriptedUser&) = delete;
    ScriptedUser(ScriptedUser&&) = delete;
    ScriptedUser& operator=(const ScriptedUser&) = delete;
    ScriptedUser& operator=(ScriptedUser&&) = delete;

    // The next showing of the window whose layout name or caption is `window`
    // plays this scene; scenes for one window are used in the order written. The
    // reference stays valid as long as the user lives.
    Scene& OnShow(std::string_view window);

    void Answer(std::string_view textPart, ui::MsgResult answer);
    void AnswerAlways(std::string_view textPart, ui::MsgResult answer);
    void AnswerNext(ui::MsgResult answer);

    // Esc becomes pending just before the n-th cancel check (counting from 1), so
    // that check takes it.
    void EscBeforeCancelCheck(int n);
    // Esc becomes pending during the n-th sleep (counting from 1).
    void EscDuringSleep(int n);
    // Esc becomes pending when the status text is exactly `text`, the first time.
    void EscWhenStatus(std::string_view text);
    // Esc becomes pending now.
    void PressEsc();

    // Observers the application or a test fixture wires to the host.
    void NoteStatusText(std::string_view text);
    void NoteExtent(double xMin, double yMin, double xMax, double yMax);

    // Called with each event as it is recorded (a batch run prints them as they
    // come); the listener must not call back into the user.
    void OnEvent(std::function<void(const Event&)> listener);

    const std::vector<Event>& Events() const { return m_events; }
    std::vector<MessageBoxRecord> MessageBoxes() const;
    std::vector<SleepRecord> Sleeps() const;
    std::vector<std::string> StatusTexts() const;
    std::vector<ShowRecord> Shows() const;
    int DoEventsCount() const { return m_doEventsCount; }
    int CancelChecks() const { return m_cancelChecks; }
    int PendingEscPresses() const { return m_pendingEsc; }
    // The virtual clock, in ms since the user was made.
    std::int64_t Now() const { return m_now; }
    // Every event, one line each.
    std::string Transcript() const;

    // Throws a ScriptError listing what the script prepared but the program never
    // asked for: unplayed scenes, unused answers, Esc presses never scheduled in.
    void CheckFinished() const;

    void DoEvents() override;
    std::optional<double> ParseNumber(std::string_view text) override;
    std::string FormatNumber(double value) override;
    bool TakeEscPress() override;

  protected:
    void RunModal(ui::Window& window) override;
    ui::MsgResult ShowMessageBox(const ui::MessageBoxRequest& request) override;
    void SleepFor(std::int32_t milliseconds) override;

  private:
    struct PlannedScene {
        Scene scene;
        bool played = false;
    };
    struct AnswerRule {
        std::string textPart{};
        ui::MsgResult answer = ui::MsgResult::Ok;
        bool always = false;
        bool used = false;
    };
    struct EscSchedule {
        enum class When { BeforeCancelCheck, DuringSleep, OnStatus };
        When when = When::BeforeCancelCheck;
        int count = 0;
        std::string status{};
        bool fired = false;
    };

    void Record(Event event);
    void MakeEscPending(std::string cause);
    std::optional<ui::MsgResult> FindAnswer(const ui::MessageBoxRequest& request);

    std::vector<std::unique_ptr<PlannedScene>> m_scenes;
    std::vector<AnswerRule> m_answerRules;
    std::vector<ui::MsgResult> m_queuedAnswers;
    std::size_t m_nextQueuedAnswer = 0;
    std::vector<EscSchedule> m_escSchedules;

    std::vector<Event> m_events;
    std::function<void(const Event&)> m_listener;
    std::int64_t m_now = 0;
    int m_sleepCount = 0;
    int m_cancelChecks = 0;
    int m_doEventsCount = 0;
    int m_pendingEsc = 0;
};

}  // namespace velorin::scripted
