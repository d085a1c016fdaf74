#include "app/TextFile.h"

#include "app/MessageSink.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kBlockSize = 2048;
constexpr size_t kMaxErrorText = 254;

std::string Fill(const char* pattern, const std::string& path) {
    std::string text(pattern);
    const size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, path);
    return text;
}

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a chain of symbolic links ends in (which need not exist yet), so that
// a linked file is updated where it lives instead of being replaced by a copy.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return path;
        std::string next(target, static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = path.substr(0, slash + 1) + next;
        path = std::move(next);
    }
    return path;
}

} // namespace

CTextFile::CTextFile(std::string path, bool createParentFolder) : m_path(std::move(path)) {
    if (!createParentFolder)
        return;
    const size_t slash = m_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        CreateFolder(m_path.substr(0, slash));
}

bool CTextFile::Exists() const {
    CFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    return fd.Get() >= 0;
}

bool CTextFile::IsPresent() const {
    struct stat st {};
    return ::stat(m_path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

std::string CTextFile::ReadText(bool showErrors) const {
    int error = 0;
    return ReadText(showErrors, error);
}

std::string CTextFile::ReadText(bool showErrors, int& error) const {
    error = 0;
    auto fail = [&](int err) {
        error = err;
        if (showErrors)
            AppMessageBox("Error reading data from disk:\n" + FileErrorText(err, m_path));
        return std::string();
    };
    CFd fd(::open(m_path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return fail(errno);
    std::string text;
    char block[kBlockSize];
    for (;;) {
        size_t got = 0;
        while (got < kBlockSize) {
            const ssize_t n = ::read(fd.Get(), block + got, kBlockSize - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return fail(errno);
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
        // Each block counts as a terminated string: a zero byte ends its share.
        size_t used = 0;
        while (used < got && block[used] != '\0')
            ++used;
        text.append(block, used);
        if (got < kBlockSize)
            break;
    }
    return text;
}

size_t CTextFile::WriteText(const std::string& text, bool showErrors) const {
    auto fail = [&](int err) -> size_t {
        if (showErrors)
            AppMessageBox("Error exporting data to disk:\n" + FileErrorText(err, m_path));
        return 0;
    };
    const std::string target = FollowLinks(m_path);
    // A file the user may not write stays as it is, even where the folder would
    // let a new file take its place.
    CFd existing(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (existing.Get() < 0 && errno != ENOENT)
        return fail(errno);
    // Write beside the file and rename over it, so a full disk or a crash half-way
    // leaves the old file as it was.
    const std::string temp = target + ".tmp" + std::to_string(::getpid());
    ::unlink(temp.c_str()); // a leftover of a crashed run
    CFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.Get() < 0) {
        const int err = errno;
        if (existing.Get() < 0 || (err != EACCES && err != EPERM && err != EROFS))
            return fail(err);
        // No room for a temporary beside the file (a folder the user may not
        // write): the only way left is to rewrite the file itself, from its
        // start, where the fresh descriptor stands.
        if (!WriteAll(existing.Get(), text) ||
            ::ftruncate(existing.Get(), static_cast<off_t>(text.size())) != 0 ||
            ::fsync(existing.Get()) != 0 || ::close(existing.Release()) != 0)
            return fail(errno);
        return text.size();
    }
    // Keep the permissions of the file being replaced.
    struct stat old {};
    if (existing.Get() >= 0 && ::fstat(existing.Get(), &old) == 0)
        (void)::fchmod(fd.Get(), old.st_mode & 07777);
    if (!WriteAll(fd.Get(), text) || ::fdatasync(fd.Get()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::close(fd.Release()) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    return text.size();
}

std::string CTextFile::FileErrorText(int osError, const std::string& path) {
    const char* pattern;
    switch (osError) {
    case 0:
        pattern = "No error occurred.";
        break;
    case ENOENT:
        pattern = "%1 was not found.";
        break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        pattern = "%1 contains an invalid path.";
        break;
    case EMFILE:
    case ENFILE:
        pattern = "%1 could not be opened because there are too many open files.";
        break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        pattern = "Access to %1 was denied.";
        break;
    case EBADF:
        pattern = "An invalid file handle was associated with %1.";
        break;
    case EMLINK:
        pattern = "%1 could not be created because the directory is full.";
        break;
    case ESPIPE:
        pattern = "Seek failed on %1";
        break;
    case EIO:
        pattern = "A hardware I/O error was reported while accessing %1.";
        break;
    case ETXTBSY:
    case EBUSY:
        pattern = "A sharing violation occurred while accessing %1.";
        break;
    case ENOLCK:
    case EDEADLK:
        pattern = "A locking violation occurred while accessing %1.";
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        pattern = "Disk full while accessing %1.";
        break;
    default:
        pattern = "An unknown error occurred while accessing %1.";
        break;
    }
    std::string text = Fill(pattern, path);
    if (text.size() > kMaxErrorText)
        text.resize(kMaxErrorText);
    return text;
}

void CreateFolder(const std::string& path) {
    (void)::mkdir(path.c_str(), 0777);
}
