// velorin-map's command line. The input is the words after the program's name,
// separated by NUL bytes. Promises checked: parsing never throws and gives
// either a command line or one sentence saying what is wrong, never both or
// neither.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using velorin::fuzz::Require;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= input.size() && words.size() < 64) {
        const std::size_t end = input.find('\0', start);
        words.push_back(input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (size == 0) words.clear();
    const velorin::app::ParseResult result =
        velorin::app::ParseCommandLine(std::span<const std::string_view>(words));
    Require(result.commandLine.has_value() != !result.error.empty(),
            "a command line or the reason there is none");
    return 0;
}
