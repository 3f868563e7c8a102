#include "base/open_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace zeph {

std::FILE* open_without_waiting(const std::string& name, int flags, const char* mode) {
    const int fd = ::open(name.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    const int status = ::fcntl(fd, F_GETFL);
    std::FILE* file = status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1 ? nullptr
                                                                                       : ::fdopen(fd, mode);
    if (!file) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

std::FILE* open_file_without_waiting(const std::string& name, const char* mode) {
    const std::string_view m(mode);
    const bool update = m.find('+') != std::string_view::npos;
    const int flags = update ? O_RDWR : m.starts_with('r') ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
    std::FILE* file = open_without_waiting(name, flags, mode);
    struct stat info {};
    if (file && update && (::fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(file);
        errno = EINVAL;
        return nullptr;
    }
    return file;
}

}  // namespace zeph
