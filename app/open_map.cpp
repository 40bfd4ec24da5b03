#include "app/open_map.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <string>

#include "platform/memory/qt/qimage_canvas.h"

namespace velorin::app {

namespace {

std::string LowerExtension(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return extension;
}

}  // namespace

bool LooksLikeMapDocument(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    // The key is the document's first member as this program writes it; a
    // document written by hand may put it later, so look a little way in.
    std::array<char, 65536> head{};
    in.read(head.data(), head.size());
    const std::string_view text(head.data(), static_cast<std::size_t>(in.gcount()));
    return text.find("\"velorinMapDocument\"") != std::string_view::npos;
}

gdal::MapDocument OpenMap(const std::filesystem::path& file, int width, int height,
                          const gdal::LocateDataFile& locate) {
    if (LowerExtension(file) != ".json" || LooksLikeMapDocument(file)) {
        if (LowerExtension(file) == ".json") {
            return gdal::LoadMapDocument(file, memory::MakeQImageCanvas(width, height), locate);
        }
        return gdal::LoadDataSet(file, memory::MakeQImageCanvas(width, height));
    }
    try {
        return gdal::LoadDataSet(file, memory::MakeQImageCanvas(width, height));
    } catch (const velorin::Error& dataSet) {
        // What the map document's parse would complain of (a crowded object, a
        // missing member) is no help about a file that never claimed to be one.
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) throw;
        throw velorin::Error(
            dataSet.Number(),
            file.generic_string() +
                ": neither a map document (it has no \"velorinMapDocument\" member) nor a data "
                "set GDAL reads (" +
                dataSet.Description() + ")");
    }
}

}  // namespace velorin::app
