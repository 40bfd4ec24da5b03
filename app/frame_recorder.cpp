#include "app/frame_recorder.h"

#include <QImage>
#include <QString>
#include <array>
#include <charconv>
#include <system_error>

namespace velorin::app {

namespace {

bool IsOldFrame(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    if (name == "frames.csv") return true;
    if (!name.starts_with("frame-") || !name.ends_with(".png")) return false;
    const std::string_view digits =
        std::string_view(name).substr(6, name.size() - 6 - std::string_view(".png").size());
    return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') quoted += '"';
    }
    quoted += '"';
    return quoted;
}

std::string FrameRecorder::FileName(int number) {
    std::array<char, 16> digits{};
    auto* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    std::string padded(digits.data(), end);
    if (padded.size() < 4) padded.insert(0, 4 - padded.size(), '0');
    return "frame-" + padded + ".png";
}

FrameRecorder::FrameRecorder(std::filesystem::path dir) : m_dir(std::move(dir)) {
    std::error_code error;
    std::filesystem::create_directories(m_dir, error);
    if (error || !std::filesystem::is_directory(m_dir)) {
        Fail(m_dir.string() + ": cannot be made a folder for frames" +
             (error ? ": " + error.message() : std::string()));
        return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(m_dir, error)) {
        if (entry.is_regular_file() && IsOldFrame(entry.path())) {
            std::filesystem::remove(entry.path(), error);
            if (error) {
                Fail(entry.path().string() +
                     ": an earlier frame cannot be removed: " + error.message());
                return;
            }
        }
    }
    if (error) {
        Fail(m_dir.string() + ": cannot be read: " + error.message());
        return;
    }
    m_list.open(ListFile(), std::ios::out | std::ios::trunc);
    m_list << "frame,file,event,status\n";
    m_list.flush();
    if (!m_list) Fail(ListFile().string() + ": cannot be written");
}

void FrameRecorder::Write(const QImage& image, std::string_view event, std::string_view status) {
    if (Failed()) return;
    const int number = m_count + 1;
    const std::string name = FileName(number);
    const std::filesystem::path file = m_dir / name;
    if (!image.save(QString::fromStdString(file.string()), "PNG")) {
        Fail(file.string() + ": cannot be written");
        return;
    }
    m_count = number;
    std::array<char, 16> digits{};
    auto* const end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
    m_list << std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())) << ','
           << name << ',' << CsvField(event) << ',' << CsvField(status) << '\n';
    m_list.flush();
    if (!m_list) Fail(ListFile().string() + ": cannot be written");
}

void FrameRecorder::Fail(std::string why) {
    if (m_failure.empty()) m_failure = std::move(why);
}

}  // namespace velorin::app
