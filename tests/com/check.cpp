#include "tests/com/check.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace velorin::check {
namespace {

struct Case {
    std::string group;
    std::string name;
    CaseBody body;
};

std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

std::vector<std::string>& MutableArguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

int g_failures = 0;

}  // namespace

Registration::Registration(const char* group, const char* name, CaseBody body) {
    Cases().push_back({group, name, std::move(body)});
}

void Fail(const char* file, int line, const std::string& message) {
    ++g_failures;
    std::printf("    %s:%d: %s\n", file, line, message.c_str());
}

const std::vector<std::string>& Arguments() { return MutableArguments(); }

std::string Hex(std::uint32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    std::string text(digits, end);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
    return std::string(8 - std::min<std::size_t>(8, text.size()), '0') + text;
}

}  // namespace velorin::check

// Usage: <program> [--group=G]... [argument]...
int main(int argc, char** argv) {
    using namespace velorin::check;
    std::vector<std::string> groups;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--group=", 0) == 0) {
            groups.push_back(argument.substr(8));
        } else {
            MutableArguments().push_back(argument);
        }
    }
    int passed = 0;
    int failed = 0;
    for (const Case& c : Cases()) {
        if (!groups.empty() && std::find(groups.begin(), groups.end(), c.group) == groups.end()) {
            continue;
        }
        std::printf("[ RUN  ] %s.%s\n", c.group.c_str(), c.name.c_str());
        std::fflush(stdout);
        const int failuresBefore = g_failures;
        try {
            c.body();
        } catch (const CaseAborted&) {
        } catch (const std::exception& error) {
            Fail(__FILE__, __LINE__, std::string("unexpected exception: ") + error.what());
        } catch (...) {
            Fail(__FILE__, __LINE__, "unexpected exception");
        }
        const bool ok = g_failures == failuresBefore;
        std::printf("[ %s ] %s.%s\n", ok ? " OK " : "FAIL", c.group.c_str(), c.name.c_str());
        std::fflush(stdout);
        (ok ? passed : failed) += 1;
    }
    if (passed + failed == 0) {
        std::printf("no case matched\n");
        failed = 1;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
