#include "base/replace_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace zeph {

namespace {

constexpr std::size_t kNameKept = 200;   // of the target's name in the temporary's, under NAME_MAX

// The permissions a newly created file gets: 0666 less the umask.
mode_t new_file_mode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// The file a symbolic link leads to, so that the link survives the rename.
std::string resolved_target(const std::string& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    char* real = ::realpath(target.c_str(), nullptr);
    if (!real) return target;   // a dangling link is replaced by the file
    std::string result(real);
    std::free(real);
    return result;
}

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target) : target_(resolved_target(target)) {
    struct stat info {};
    const bool exists = ::stat(target_.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        file_ = open_without_waiting(target_, O_WRONLY | O_TRUNC, "wb");
        return;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty()) return;   // a folder name: nothing to create
    std::string pattern = folder + "." + base.substr(0, kNameKept) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return;
    // The new file takes the old one's permissions, or those of a new file.
    ::fchmod(fd, exists ? (info.st_mode & 07777) : new_file_mode());
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(pattern.c_str());
        return;
    }
    temporary_ = std::move(pattern);
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)),
      file_(std::exchange(other.file_, nullptr)) {
    other.temporary_.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

bool ReplacementFile::commit() {
    if (!file_) return false;
    bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    // fclose writes what stdio still buffers: a full disk may show only here.
    ok = std::fclose(std::exchange(file_, nullptr)) == 0 && ok;
    if (temporary_.empty()) return ok;
    if (ok) ok = std::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temporary_.c_str());
    temporary_.clear();
    return ok;
}

void ReplacementFile::discard() {
    if (file_) std::fclose(std::exchange(file_, nullptr));
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

GuardedAppend::GuardedAppend(const std::string& name) {
    file_ = open_without_waiting(name, O_WRONLY | O_CREAT | O_APPEND, "ab");
    if (!file_) return;
    fd_ = ::fcntl(fileno(file_), F_DUPFD_CLOEXEC, 0);
    if (fd_ < 0) {
        std::fclose(std::exchange(file_, nullptr));
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) old_length_ = info.st_size;
}

GuardedAppend::~GuardedAppend() {
    if (file_) finish(false);
    if (fd_ >= 0) ::close(fd_);
}

bool GuardedAppend::finish(bool ok) {
    if (!file_) return false;
    ok = std::fflush(file_) == 0 && std::ferror(file_) == 0 && ok;
    ok = std::fclose(std::exchange(file_, nullptr)) == 0 && ok;
    struct stat info {};
    if (!ok && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) (void)::ftruncate(fd_, old_length_);
    return ok;
}

}  // namespace zeph
