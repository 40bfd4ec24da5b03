#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velorin::gdal {

// Gives file the contents text, all or nothing: the text is written to a new
// temporary file beside it, flushed to the disk, and renamed over file in one step
// (a symbolic link is followed, and an existing file's permissions are kept). Any
// failure removes the temporary file, leaves file as it was, and raises
// velorin::Error (E_HOST_FAIL) "<display>: cannot be saved: <reason>".
void ReplaceFile(const std::filesystem::path& file, std::string_view text,
                 const std::string& display);

}  // namespace velorin::gdal
