#include "base/private_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <filesystem>

namespace zeph {

namespace {

constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kPrivateFileMode = 0600;

std::string system_reason(int error) { return std::strerror(error); }

// Writes all of `data`, going on after short writes and interruptions.
bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Takes an exclusive lock, waiting for another run's append to end.
bool lock_exclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR) return false;
    return true;
}

std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool is_private_folder(const std::string& folder, std::string* why) {
    struct stat info {};
    std::string reason;
    if (::stat(folder.c_str(), &info) != 0) reason = system_reason(errno);
    else if (!S_ISDIR(info.st_mode)) reason = "not a folder";
    else if (info.st_uid != ::geteuid()) reason = "owned by another user";
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) reason = "others may write it";
    if (why) *why = reason;
    return reason.empty();
}

Status prepare_private_folder(const std::string& folder) {
    std::error_code error;
    const std::filesystem::path path(folder);
    // The parents as the XDG rules make them (0700); an existing folder keeps its mode.
    const auto parent = path.lexically_normal().parent_path();
    if (!parent.empty() && !std::filesystem::exists(parent, error)) {
        std::filesystem::create_directories(parent, error);
        if (!error) std::filesystem::permissions(parent, std::filesystem::perms::owner_all, error);
    }
    if (::mkdir(folder.c_str(), kPrivateFolderMode) != 0 && errno != EEXIST)
        return Status::failure(std::string(kCannotOpenFile) + folder + " (" + system_reason(errno) + ")");
    std::string why;
    if (!is_private_folder(folder, &why)) return Status::failure("Refused folder " + folder + ": " + why);
    return Status::success();
}

int open_private_file(const std::string& path, int flags, std::string& why) {
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0) {
        why = errno == ELOOP ? "a symbolic link" : system_reason(errno);
        return -1;
    }
    struct stat info {};
    why.clear();
    if (::fstat(fd, &info) != 0) why = system_reason(errno);
    else if (!S_ISREG(info.st_mode)) why = "not a regular file";
    else if (info.st_uid != ::geteuid()) why = "owned by another user";
    const int status = why.empty() ? ::fcntl(fd, F_GETFL) : -1;
    if (why.empty() && (status == -1 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == -1))
        why = system_reason(errno);
    if (!why.empty()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Status replace_private_file(const std::string& path, std::string_view content) {
    const Status failed = Status::failure(std::string(kErrorWritingFile) + path);
    std::string temporary = folder_of(path) + ".zeph-private.XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);   // 0600, never an existing name
    if (fd < 0) return failed;
    bool ok = write_all(fd, content);
    ok = ::close(fd) == 0 && ok;
    // rename replaces the directory entry, whatever it is: a link there is not followed.
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok ? Status::success() : failed;
}

Status append_private_file(const std::string& path, std::string_view block) {
    std::string why;
    const int fd = open_private_file(path, O_WRONLY | O_CREAT | O_APPEND, why);
    if (fd < 0) return Status::failure(std::string(kCannotOpenFile) + path + " (" + why + ")");
    bool ok = lock_exclusive(fd);
    struct stat info {};
    ok = ok && ::fstat(fd, &info) == 0;
    const off_t old_length = info.st_size;
    ok = ok && write_all(fd, block);
    if (!ok) (void)::ftruncate(fd, old_length);
    ::close(fd);   // releases the lock
    return ok ? Status::success() : Status::failure(std::string(kErrorWritingFile) + path);
}

}  // namespace zeph
