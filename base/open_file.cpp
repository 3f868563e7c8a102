#include "base/open_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace zeph {

namespace {

std::FILE* close_keeping_errno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return nullptr;
}

}  // namespace

std::FILE* open_file_without_waiting(const std::string& name, const char* mode) {
    const std::string_view m(mode);
    const bool update = m.find('+') != std::string_view::npos;
    const int flags = update ? O_RDWR : m.starts_with('r') ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    // O_NONBLOCK only for the open itself; cleared below so that the reads and
    // writes that follow behave as usual.
    const int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (update && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        errno = EINVAL;
        return close_keeping_errno(fd);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1) return close_keeping_errno(fd);
    std::FILE* file = ::fdopen(fd, mode);
    return file ? file : close_keeping_errno(fd);
}

}  // namespace zeph
