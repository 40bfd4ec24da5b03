#include "platform/gdal/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::gdal {

namespace {

// What marks a file as a save's temporary file, after the name of the file saved.
constexpr std::string_view SaveMark = ".velorin-save.";
// The part of the saved file's name a temporary file repeats, so that its own name
// stays within the system's limit.
constexpr std::size_t NamePart = 100;
// How much a save writes before the disk is asked to start on it.
constexpr off_t WritebackStep = 8 * 1024 * 1024;

// Closes and removes the temporary file unless the rename took it.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::filesystem::path path, int descriptor)
        : m_path(std::move(path)), m_descriptor(descriptor) {}
    ~TemporaryFile() {
        if (m_descriptor >= 0) ::close(m_descriptor);
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    TemporaryFile(TemporaryFile&&) = delete;
    TemporaryFile& operator=(TemporaryFile&&) = delete;

    int Descriptor() const { return m_descriptor; }
    const std::filesystem::path& Path() const { return m_path; }
    // Closes the file; false (errno set) when the last of the data could not be
    // written.
    bool Close() {
        const int descriptor = m_descriptor;
        m_descriptor = -1;
        return ::close(descriptor) == 0;
    }
    void Release() { m_path.clear(); }

  private:
    std::filesystem::path m_path;
    int m_descriptor;
};

// This machine's name as it can stand in a file name: a process id in a temporary
// file's name says something only on the machine that made it (the folder may be
// shared).
std::string HostTag() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0') return "localhost";
    std::string tag;
    for (const char* c = name.data(); *c != '\0'; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                           (*c >= '0' && *c <= '9') || *c == '-';
        tag += plain ? *c : '_';
    }
    return tag;
}

// A positive whole number, nothing else in the text.
std::optional<pid_t> ProcessId(std::string_view text) {
    pid_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value <= 0) return std::nullopt;
    return value;
}

// The process that made a temporary file named ".<file>.velorin-save.<host>.<pid>.<n>.tmp"
// on this machine (host); nothing for any other name.
std::optional<pid_t> SavingProcess(std::string_view name, std::string_view host) {
    if (!name.starts_with('.') || !name.ends_with(".tmp")) return std::nullopt;
    name.remove_suffix(4);
    const std::size_t counterDot = name.rfind('.');
    if (counterDot == std::string_view::npos || counterDot + 1 == name.size() ||
        name.find_first_not_of("0123456789", counterDot + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    name = name.substr(0, counterDot);
    const std::size_t pidDot = name.rfind('.');
    if (pidDot == std::string_view::npos) return std::nullopt;
    const auto pid = ProcessId(name.substr(pidDot + 1));
    name = name.substr(0, pidDot);
    if (!pid || !name.ends_with(host)) return std::nullopt;
    name.remove_suffix(host.size());
    if (!name.ends_with(SaveMark) || name.size() <= SaveMark.size() + 1) return std::nullopt;
    return pid;
}

// Removes what saves into folder left behind when their process was killed before
// the rename: each such file holds a whole document. A file of a process that still
// runs (or of another machine) may be a save in progress and is left alone.
void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view host) {
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const auto pid = SavingProcess(entry->path().filename().string(), host);
        if (!pid || *pid == ::getpid()) continue;
        if (::kill(*pid, 0) == 0 || errno != ESRCH) continue;
        struct stat file {};
        if (::lstat(entry->path().c_str(), &file) == 0 && S_ISREG(file.st_mode)) {
            ::unlink(entry->path().c_str());
        }
    }
}

// Flushes the folder's entries, so that the rename survives a crash of the system;
// the errno of a failure, 0 otherwise. A folder that cannot be opened, or a file
// system that does not sync folders, is no failure: the save itself is done.
int SyncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return 0;
    const int result = ::fsync(descriptor) == 0 || errno == EINVAL ? 0 : errno;
    ::close(descriptor);
    return result;
}

}  // namespace

std::filesystem::path LinkTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    // As many links as the system itself follows; the link at the end may name a
    // file yet to be made.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(current, error)) break;
        const auto link = std::filesystem::read_symlink(current, error);
        if (error) break;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    if (current == path) return path;
    // The folder as the system finds it, ".." after a linked folder included.
    std::error_code error;
    auto folder = std::filesystem::weakly_canonical(
        current.has_parent_path() ? current.parent_path() : std::filesystem::path("."), error);
    return error ? current : folder / current.filename();
}

void ReplaceFile(const std::filesystem::path& file, const std::string& display,
                 const std::function<void(const TextSink&)>& write) {
    const auto fail = [&](const std::string& reason) {
        throw Error(host::E_HOST_FAIL, display + ": cannot be saved: " + reason);
    };
    const auto failErrno = [&](int number) { fail(std::strerror(number)); };

    const std::filesystem::path target = LinkTarget(file);
    if (target.filename().empty()) fail("the path names no file");
    if (std::error_code error; std::filesystem::is_symlink(target, error)) {
        fail("its symbolic links go round in a loop");
    }
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";

    const std::string host = HostTag();
    RemoveStaleTemporaries(folder, host);

    // Unique among processes and among saves of this process.
    static std::atomic<unsigned> counter{0};
    int descriptor = -1;
    std::filesystem::path temporary;
    for (int attempt = 0; descriptor < 0; ++attempt) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
        // "literal" + std::string at -O3.
        std::string name(1, '.');
        name += target.filename().string().substr(0, NamePart);
        name += SaveMark;
        name += host;
        name += '.';
        name += std::to_string(::getpid());
        name += '.';
        name += std::to_string(counter++);
        name += ".tmp";
        temporary = folder / name;
        descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0 && (errno != EEXIST || attempt > 100)) failErrno(errno);
    }
    TemporaryFile out(temporary, descriptor);

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(out.Descriptor(), old.st_mode & 07777);
    }

    // The disk starts on what is written while the rest is made, so that the flush
    // at the end waits for little more than the last piece.
    off_t written = 0;
    off_t started = 0;
    write([&](std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = ::write(out.Descriptor(), text.data(), text.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                failErrno(errno);
            }
            text.remove_prefix(static_cast<std::size_t>(n));
            written += n;
        }
#ifdef __linux__
        if (written - started >= WritebackStep) {
            // Only a hint: a failure shows again at the flush.
            ::sync_file_range(out.Descriptor(), started, written - started,
                              SYNC_FILE_RANGE_WRITE);
            started = written;
        }
#endif
    });
    if (::fsync(out.Descriptor()) != 0) failErrno(errno);
    if (!out.Close()) failErrno(errno);
    if (std::rename(out.Path().c_str(), target.c_str()) != 0) failErrno(errno);
    out.Release();
    if (const int number = SyncFolder(folder); number != 0) {
        throw Error(host::E_HOST_FAIL, display +
                                           ": saved, but the folder could not be flushed to "
                                           "the disk: " +
                                           std::strerror(number));
    }
}

}  // namespace velorin::gdal
