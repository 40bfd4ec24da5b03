#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace velorin::gdal {

// The file a path finally names: the path itself, or where its chain of symbolic
// links ends (a file that may not exist yet), in a folder named without links.
std::filesystem::path LinkTarget(const std::filesystem::path& path);

// Where a save's text goes, piece by piece.
using TextSink = std::function<void(std::string_view)>;

// Gives file the text that write hands to its sink, all or nothing: the text goes
// to a new temporary file beside the file (".<name>.velorin-save.<host>.<pid>.<n>.tmp"),
// is flushed to the disk, and is renamed over the file in one step, after which
// the folder is flushed too. A symbolic link is followed, and an existing file's
// permissions are kept. Temporary files that a save of a process no longer
// running left in that folder are removed first.
//
// Any failure (a raise from write, a full disk, a folder that cannot be written)
// removes the temporary file, leaves the file as it was, and raises: write's own
// error as it is, others as velorin::Error (E_HOST_FAIL) "<display>: cannot be
// saved: <reason>". Only a failure to flush the folder after the rename raises with
// the file already replaced ("<display>: saved, but ...").
void ReplaceFile(const std::filesystem::path& file, const std::string& display,
                 const std::function<void(const TextSink&)>& write);

}  // namespace velorin::gdal
