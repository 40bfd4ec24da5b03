#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "commands/command.h"
#include "platform/scripted/scripted_user.h"
#include "tests/support/user_records.h"
#include "ui/current_toolkit.h"

namespace velorin::commands {
namespace {

// A command whose run raises what the test hands it, and succeeds once that is
// spent: the trap must show one box per failing click and leave the command
// usable for the next.
class RaisingCommand : public Command {
  public:
    explicit RaisingCommand(std::function<void()> raise) : m_raise(std::move(raise)) {}
    std::string Name() const override { return "Raising"; }
    std::string Caption() const override { return "Raising"; }
    std::string Tooltip() const override { return "Raising"; }
    int runs = 0;

  protected:
    void Run() override {
        ++runs;
        if (m_raise) std::exchange(m_raise, nullptr)();
    }

  private:
    std::function<void()> m_raise;
};

TEST(CommandTrap, EveryFailureOfARunIsOneBoxAndTheNextClickRuns) {
    const struct {
        std::function<void()> raise;
        std::string box;
    } cases[] = {
        {[] { throw Error(-2147467259, "Unspecified error"); },
         "Error -2147467259: Unspecified error"},
        {[] { throw std::bad_alloc(); }, "Error 7: Out of memory"},
        {[] { throw std::runtime_error("disk gone"); }, "Error 51: Internal error: disk gone"},
        {[] { throw 42; }, "Error 51: Internal error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        scripted::ScriptedUser user;
        ui::ToolkitScope scope(user);
        RaisingCommand command(c.raise);
        command.OnClick();
        command.OnClick();
        EXPECT_EQ(command.runs, 2);
        EXPECT_EQ(testing::BoxTexts(user), std::vector<std::string>{c.box});
    }
}

}  // namespace
}  // namespace velorin::commands
