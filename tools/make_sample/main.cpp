// velorin-make-sample OUTDIR: writes the hydrology sample data set and its map
// document into OUTDIR.
#include <exception>
#include <iostream>
#include <string_view>

#include "host/error.h"
#include "tools/make_sample/hydrology_sample.h"

namespace {

constexpr std::string_view Usage =
    "Usage: velorin-make-sample OUTDIR\n"
    "Writes OUTDIR/hydrology.gpkg (Catchment, NerroJunction, Watershed, Waterbody and\n"
    "MonitoringPoint) and OUTDIR/hydrology.json, a map document showing them.\n"
    "\n"
    "  -h, --help  show this text\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << Usage;
        return 0;
    }
    if (argc != 2 || std::string_view(argv[1]).empty()) {
        std::cerr << "velorin-make-sample: expected one argument, the output folder\n" << Usage;
        return 2;
    }
    try {
        const auto files = velorin::sample::WriteHydrologySample(argv[1]);
        std::cout << "Wrote " << files.dataSet.string() << "\nWrote " << files.document.string()
                  << "\n";
        return 0;
    } catch (const velorin::Error& error) {
        std::cerr << "velorin-make-sample: " << error.Description() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "velorin-make-sample: " << error.what() << "\n";
    }
    return 1;
}
