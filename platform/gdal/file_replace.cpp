#include "platform/gdal/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "host/codes.h"
#include "host/error.h"

namespace velorin::gdal {

namespace {

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

std::filesystem::path Target(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_symlink(file, error)) {
        auto resolved = std::filesystem::weakly_canonical(file, error);
        if (!error) return resolved;
    }
    return file;
}

}  // namespace

void ReplaceFile(const std::filesystem::path& file, std::string_view text,
                 const std::string& display) {
    const auto fail = [&](const std::string& reason) {
        throw Error(host::E_HOST_FAIL, display + ": cannot be saved: " + reason);
    };
    const auto failErrno = [&](int number) { fail(std::strerror(number)); };

    const std::filesystem::path target = Target(file);
    if (target.filename().empty()) fail("the path names no file");
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";

    // Unique among processes and among saves of this process.
    static std::atomic<unsigned> counter{0};
    int descriptor = -1;
    std::filesystem::path temporary;
    for (int attempt = 0; descriptor < 0; ++attempt) {
        // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about
        // "literal" + std::string at -O3.
        std::string name(1, '.');
        name += target.filename().string();
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

    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(out.Descriptor(), text.data() + written, text.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            failErrno(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(out.Descriptor()) != 0) failErrno(errno);
    if (!out.Close()) failErrno(errno);
    if (std::rename(out.Path().c_str(), target.c_str()) != 0) failErrno(errno);
    out.Release();
}

}  // namespace velorin::gdal
