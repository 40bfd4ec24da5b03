#include "platform/scripted/scripted_user.h"

#include <array>
#include <charconv>
#include <type_traits>
#include <utility>

#include "ui/numbers.h"
#include "ui/window.h"

namespace velorin::scripted {

namespace {

std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    quoted += text;
    quoted += '"';
    return quoted;
}

template <class Int>
std::string Number(Int value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), result.ptr);
}

std::string WindowTitle(const ui::Window& window) {
    return Quoted(window.Caption()) + " (" + window.Name() + ")";
}

std::string_view ButtonsName(ui::MsgButtons buttons) {
    return buttons == ui::MsgButtons::OkOnly ? "OK" : "OK, Cancel";
}

std::string_view AnswerName(ui::MsgResult answer) {
    return answer == ui::MsgResult::Ok ? "OK" : "Cancel";
}

void RequirePositive(int n, std::string_view what) {
    if (n < 1) {
        throw ScriptError(std::string(what) + " counts from 1, not " + Number(n));
    }
}

}  // namespace

std::string Describe(const Event& event) {
    return std::visit(
        [](const auto& record) -> std::string {
            using T = std::decay_t<decltype(record)>;
            if constexpr (std::is_same_v<T, MessageBoxRecord>) {
                return "message box " + Quoted(record.text) + " titled " + Quoted(record.title) +
                       " [" + std::string(ButtonsName(record.buttons)) +
                       (record.icon == ui::MsgIcon::Critical ? ", critical" : "") + "] answered " +
                       std::string(AnswerName(record.answer));
            } else if constexpr (std::is_same_v<T, SleepRecord>) {
                return "sleep " + Number(record.milliseconds) + " ms, clock at " +
                       Number(record.nowAfter) + " ms";
            } else if constexpr (std::is_same_v<T, DoEventsRecord>) {
                return "pending messages processed";
            } else if constexpr (std::is_same_v<T, ShowRecord>) {
                return "window " + Quoted(record.caption) + " (" + record.window +
                       ") shown modally";
            } else if constexpr (std::is_same_v<T, EscPressRecord>) {
                return "Esc pressed (" + record.cause + ")";
            } else if constexpr (std::is_same_v<T, EscTakenRecord>) {
                return "Esc taken by cancel check " + Number(record.cancelCheck);
            } else if constexpr (std::is_same_v<T, StatusRecord>) {
                return "status " + Quoted(record.text);
            } else {
                static_assert(std::is_same_v<T, ExtentRecord>);
                return "extent (" + ui::FormatGeneral15(record.xMin) + ", " +
                       ui::FormatGeneral15(record.yMin) + ") - (" +
                       ui::FormatGeneral15(record.xMax) + ", " + ui::FormatGeneral15(record.yMax) +
                       ")";
            }
        },
        event);
}

Scene& ScriptedUser::OnShow(std::string_view window) {
    auto planned = std::make_unique<PlannedScene>(PlannedScene{Scene(std::string(window))});
    Scene& scene = planned->scene;
    m_scenes.push_back(std::move(planned));
    return scene;
}

void ScriptedUser::Answer(std::string_view textPart, ui::MsgResult answer) {
    m_answerRules.push_back({.textPart = std::string(textPart), .answer = answer, .always = false});
}

void ScriptedUser::AnswerAlways(std::string_view textPart, ui::MsgResult answer) {
    m_answerRules.push_back({.textPart = std::string(textPart), .answer = answer, .always = true});
}

void ScriptedUser::AnswerNext(ui::MsgResult answer) { m_queuedAnswers.push_back(answer); }

void ScriptedUser::EscBeforeCancelCheck(int n) {
    RequirePositive(n, "EscBeforeCancelCheck");
    m_escSchedules.push_back({.when = EscSchedule::When::BeforeCancelCheck, .count = n});
}

void ScriptedUser::EscDuringSleep(int n) {
    RequirePositive(n, "EscDuringSleep");
    m_escSchedules.push_back({.when = EscSchedule::When::DuringSleep, .count = n});
}

void ScriptedUser::EscWhenStatus(std::string_view text) {
    m_escSchedules.push_back({.when = EscSchedule::When::OnStatus, .status = std::string(text)});
}

void ScriptedUser::PressEsc() { MakeEscPending("pressed"); }

void ScriptedUser::NoteStatusText(std::string_view text) {
    Record(StatusRecord{std::string(text)});
    for (EscSchedule& schedule : m_escSchedules) {
        if (!schedule.fired && schedule.when == EscSchedule::When::OnStatus &&
            schedule.status == text) {
            schedule.fired = true;
            MakeEscPending("status text " + Quoted(text));
        }
    }
}

void ScriptedUser::NoteExtent(double xMin, double yMin, double xMax, double yMax) {
    Record(ExtentRecord{xMin, yMin, xMax, yMax});
}

std::vector<MessageBoxRecord> ScriptedUser::MessageBoxes() const {
    std::vector<MessageBoxRecord> boxes;
    for (const Event& event : m_events) {
        if (const auto* box = std::get_if<MessageBoxRecord>(&event)) {
            boxes.push_back(*box);
        }
    }
    return boxes;
}

std::vector<SleepRecord> ScriptedUser::Sleeps() const {
    std::vector<SleepRecord> sleeps;
    for (const Event& event : m_events) {
        if (const auto* sleep = std::get_if<SleepRecord>(&event)) {
            sleeps.push_back(*sleep);
        }
    }
    return sleeps;
}

std::vector<std::string> ScriptedUser::StatusTexts() const {
    std::vector<std::string> texts;
    for (const Event& event : m_events) {
        if (const auto* status = std::get_if<StatusRecord>(&event)) {
            texts.push_back(status->text);
        }
    }
    return texts;
}

std::vector<ShowRecord> ScriptedUser::Shows() const {
    std::vector<ShowRecord> shows;
    for (const Event& event : m_events) {
        if (const auto* show = std::get_if<ShowRecord>(&event)) {
            shows.push_back(*show);
        }
    }
    return shows;
}

std::string ScriptedUser::Transcript() const {
    std::string transcript;
    for (const Event& event : m_events) {
        transcript += Describe(event);
        transcript += '\n';
    }
    return transcript;
}

void ScriptedUser::CheckFinished() const {
    std::string unused;
    const auto note = [&unused](const std::string& line) {
        unused += "\n  ";
        unused += line;
    };
    for (const auto& planned : m_scenes) {
        if (!planned->played) {
            note("scene for " + Quoted(planned->scene.WindowKey()) + " never played");
        }
    }
    for (const AnswerRule& rule : m_answerRules) {
        if (!rule.used) {
            note("answer " + std::string(AnswerName(rule.answer)) + " for " +
                 Quoted(rule.textPart) + " never given");
        }
    }
    for (std::size_t i = m_nextQueuedAnswer; i < m_queuedAnswers.size(); ++i) {
        note("queued answer " + std::string(AnswerName(m_queuedAnswers[i])) + " never given");
    }
    for (const EscSchedule& schedule : m_escSchedules) {
        if (!schedule.fired) {
            switch (schedule.when) {
                case EscSchedule::When::BeforeCancelCheck:
                    note("Esc before cancel check " + Number(schedule.count) + " never pressed (" +
                         Number(m_cancelChecks) + " checks)");
                    break;
                case EscSchedule::When::DuringSleep:
                    note("Esc during sleep " + Number(schedule.count) + " never pressed (" +
                         Number(m_sleepCount) + " sleeps)");
                    break;
                case EscSchedule::When::OnStatus:
                    note("Esc at status " + Quoted(schedule.status) +
                         " never pressed: that text never appeared");
                    break;
            }
        }
    }
    if (m_pendingEsc > 0) {
        note(Number(m_pendingEsc) + " Esc press(es) never taken by a cancel check");
    }
    if (!unused.empty()) {
        throw ScriptError("the script was not used up:" + unused);
    }
}

void ScriptedUser::DoEvents() {
    ++m_doEventsCount;
    Record(DoEventsRecord{});
}

std::optional<double> ScriptedUser::ParseNumber(std::string_view text) {
    return ui::ParseCNumber(text);
}

std::string ScriptedUser::FormatNumber(double value) { return ui::FormatGeneral15(value); }

bool ScriptedUser::TakeEscPress() {
    ++m_cancelChecks;
    for (EscSchedule& schedule : m_escSchedules) {
        if (!schedule.fired && schedule.when == EscSchedule::When::BeforeCancelCheck &&
            schedule.count == m_cancelChecks) {
            schedule.fired = true;
            MakeEscPending("before cancel check " + Number(m_cancelChecks));
        }
    }
    if (m_pendingEsc == 0) {
        return false;
    }
    --m_pendingEsc;
    Record(EscTakenRecord{m_cancelChecks});
    return true;
}

void ScriptedUser::RunModal(ui::Window& window) {
    Record(ShowRecord{window.Name(), window.Caption()});
    PlannedScene* next = nullptr;
    for (const auto& planned : m_scenes) {
        if (!planned->played && planned->scene.Matches(window)) {
            next = planned.get();
            break;
        }
    }
    if (next == nullptr) {
        window.Hide();
        throw ScriptError("no scene for window " + WindowTitle(window) + ", shown modally");
    }
    next->played = true;
    next->scene.Play(window, *this);
    if (window.Loaded() && window.Visible()) {
        window.Hide();
        throw ScriptError("window left open: " + WindowTitle(window));
    }
}

std::optional<ui::MsgResult> ScriptedUser::FindAnswer(const ui::MessageBoxRequest& request) {
    for (AnswerRule& rule : m_answerRules) {
        if ((rule.always || !rule.used) && request.text.find(rule.textPart) != std::string::npos) {
            rule.used = true;
            return rule.answer;
        }
    }
    if (request.buttons == ui::MsgButtons::OkCancel) {
        if (m_nextQueuedAnswer < m_queuedAnswers.size()) {
            return m_queuedAnswers[m_nextQueuedAnswer++];
        }
        return std::nullopt;
    }
    return ui::MsgResult::Ok;
}

ui::MsgResult ScriptedUser::ShowMessageBox(const ui::MessageBoxRequest& request) {
    const std::optional<ui::MsgResult> answer = FindAnswer(request);
    if (!answer) {
        throw ScriptError("no answer for message box " + Quoted(request.text) + " titled " +
                          Quoted(request.title) + " [" + std::string(ButtonsName(request.buttons)) +
                          "]");
    }
    if (request.buttons == ui::MsgButtons::OkOnly && *answer == ui::MsgResult::Cancel) {
        throw ScriptError("answer Cancel for message box " + Quoted(request.text) +
                          ", which has no Cancel button");
    }
    Record(MessageBoxRecord{.text = request.text,
                            .title = request.title,
                            .buttons = request.buttons,
                            .icon = request.icon,
                            .answer = *answer});
    return *answer;
}

void ScriptedUser::SleepFor(std::int32_t milliseconds) {
    ++m_sleepCount;
    m_now += milliseconds;
    Record(SleepRecord{milliseconds, m_now});
    for (EscSchedule& schedule : m_escSchedules) {
        if (!schedule.fired && schedule.when == EscSchedule::When::DuringSleep &&
            schedule.count == m_sleepCount) {
            schedule.fired = true;
            MakeEscPending("during sleep " + Number(m_sleepCount));
        }
    }
}

void ScriptedUser::OnEvent(std::function<void(const Event&)> listener) {
    m_listener = std::move(listener);
}

void ScriptedUser::Record(Event event) {
    m_events.push_back(std::move(event));
    if (m_listener) {
        m_listener(m_events.back());
    }
}

void ScriptedUser::MakeEscPending(std::string cause) {
    ++m_pendingEsc;
    Record(EscPressRecord{std::move(cause)});
}

}  // namespace velorin::scripted
