#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class QImage;

namespace velorin::app {

// Numbered PNG pictures of the map, written as a batch run goes, with a list of
// them (frames.csv: frame, file, event, status text) kept up to date after every
// frame, so a run that ends early still leaves a list that matches its pictures.
//
// A failure to write does not raise: it is called from the host's drawing hooks,
// inside the extension's run, where an exception would end the run as an error
// box of the tool's. The first failure is kept, nothing more is written, and the
// caller reports it when the run is over.
class FrameRecorder {
  public:
    // Makes dir when missing and removes the frame-*.png and frames.csv an earlier
    // run left there (nothing else). A failure shows in Failure().
    explicit FrameRecorder(std::filesystem::path dir);
    ~FrameRecorder() = default;
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;
    FrameRecorder(FrameRecorder&&) = delete;
    FrameRecorder& operator=(FrameRecorder&&) = delete;

    // Writes the next frame: "frame-0001.png", ... event: what just happened
    // ("open", "zoom", "redraw", "flash").
    void Write(const QImage& image, std::string_view event, std::string_view status);

    const std::filesystem::path& Dir() const { return m_dir; }
    std::filesystem::path ListFile() const { return m_dir / "frames.csv"; }
    int Count() const { return m_count; }
    bool Failed() const { return !m_failure.empty(); }
    // "" when every frame was written.
    const std::string& Failure() const { return m_failure; }

    // "frame-0007.png" for 7.
    static std::string FileName(int number);

  private:
    void Fail(std::string why);

    std::filesystem::path m_dir;
    std::ofstream m_list;
    int m_count = 0;
    std::string m_failure;
};

// A CSV field: quoted when it holds a comma, a quote or a line break, with quotes
// doubled.
std::string CsvField(std::string_view text);

}  // namespace velorin::app
