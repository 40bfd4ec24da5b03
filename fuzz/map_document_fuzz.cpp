// Map documents as velorin-map reads them, over the hydrology sample's data set.
// The input is the document's text. Promises checked:
//   - a document loads or raises velorin::Error naming it, nothing else;
//   - a document that loaded and saved loads again, and saving that gives the
//     same document (load, save, load gives the same document). The extent may
//     move in its last digits: the window fits it to its shape on every load, and
//     fitting a fitted extent again rounds differently.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "fuzz/fuzz_check.h"
#include "host/error.h"
#include "platform/gdal/map_document.h"
#include "tools/make_sample/hydrology_sample.h"

namespace velorin::fuzz {
namespace {

// A folder of this process holding the sample's data set, removed at exit.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                           ("velorin-fuzz-doc-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        sample::WriteHydrologySample(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return path;
    }();
    return folder;
}

void Write(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    Require(static_cast<bool>(out), "the input is written");
}

nlohmann::json Read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return nlohmann::json::parse(in);
}

// The same document: equal but for the extent, which agrees to 12 digits.
bool SameDocument(nlohmann::json first, nlohmann::json second) {
    const nlohmann::json::json_pointer extent("/map/extent");
    if (first.contains(extent) != second.contains(extent)) return false;
    if (first.contains(extent)) {
        for (const char* bound : {"xMin", "yMin", "xMax", "yMax"}) {
            const double a = first.at(extent).at(bound).get<double>();
            const double b = second.at(extent).at(bound).get<double>();
            if (std::fabs(a - b) > 1e-12 * std::max(std::fabs(a), std::fabs(b))) return false;
        }
        first["map"].erase("extent");
        second["map"].erase("extent");
    }
    return first == second;
}

}  // namespace
}  // namespace velorin::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    velorin::fuzz::Folder();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velorin::fuzz;
    namespace gdal = velorin::gdal;
    const std::filesystem::path input = Folder() / "input.json";
    const std::filesystem::path first = Folder() / "first.json";
    const std::filesystem::path second = Folder() / "second.json";
    Write(input, data, size);
    try {
        const gdal::MapDocument document = gdal::LoadMapDocument(input);
        gdal::SaveMapDocument(document, first);
    } catch (const velorin::Error&) {
        return 0;  // refused with a message: the promise for a bad document
    }
    try {
        const gdal::MapDocument again = gdal::LoadMapDocument(first);
        gdal::SaveMapDocument(again, second);
    } catch (const velorin::Error& error) {
        Require(false, "a saved document loads again: " + error.Description());
    }
    Require(SameDocument(Read(first), Read(second)), "load, save, load gives the same document");
    return 0;
}
