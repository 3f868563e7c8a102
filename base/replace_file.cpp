#include "base/replace_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace zeph {

namespace {

constexpr std::size_t kNameKept = 200;   // of the target's name in the temporary's, under NAME_MAX
constexpr std::size_t kCopyBlock = 65536;   // bytes copied at once in place

// The names of the temporary files not yet committed or discarded, for
// remove_replacement_temporaries. A slot is free, being filled, or live; only
// live names are removed, and only atomic flags and unlink are used there.
enum SlotState : int { kFree, kFilling, kLive };
struct TemporarySlot {
    std::atomic<int> state{kFree};
    char name[PATH_MAX];
};
constexpr int kSlots = 32;   // temporaries open at once; beyond, a name is not registered
TemporarySlot g_temporaries[kSlots];

int register_temporary(const std::string& name) {
    // An exit() that skips the destructors (from anywhere) still removes them.
    static const bool at_exit = std::atexit(remove_replacement_temporaries) == 0;
    (void)at_exit;
    if (name.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!g_temporaries[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(g_temporaries[i].name, name.c_str(), name.size() + 1);
        g_temporaries[i].state.store(kLive);
        return i;
    }
    return -1;
}

void unregister_temporary(int& slot) {
    if (slot >= 0) g_temporaries[slot].state.store(kFree);
    slot = -1;
}

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

// An existing file the user may not write: no write permission for the user,
// or none for anybody (which root, who may write anything, respects too).
bool is_read_only(const std::string& name, const struct stat& info) {
    return (info.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, name.c_str(), W_OK, AT_EACCESS) != 0;
}

// A rename keeps what the old file had only for the user's own file with one
// name, of the group a new file gets, in a folder the user may write.
bool rename_keeps_the_file(const std::string& folder, const struct stat& info) {
    return info.st_uid == ::geteuid() && info.st_gid == ::getegid() && info.st_nlink == 1 &&
           ::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Copies all of `from` over the start of `to` and cuts `to` to that length.
bool copy_whole(int from, int to) {
    char block[kCopyBlock];
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(from, block, sizeof block, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(to, block + done, static_cast<std::size_t>(got - done), at + done);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
        at += got;
    }
    return ::ftruncate(to, at) == 0;
}

// An unnamed file for scratch content: gone with its last descriptor.
std::FILE* scratch_file() {
    std::FILE* file = std::tmpfile();
    if (file) ::fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
    return file;
}

}  // namespace

void remove_replacement_temporaries() {
    for (TemporarySlot& slot : g_temporaries) {
        if (slot.state.load() == kLive) ::unlink(slot.name);
    }
}

ReplacementFile::ReplacementFile(const std::string& target) : target_(resolved_target(target)) {
    struct stat info {};
    const bool exists = ::stat(target_.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        file_ = open_without_waiting(target_, O_WRONLY | O_TRUNC, "wb");
        return;
    }
    if (exists && is_read_only(target_, info)) {
        errno = EACCES;
        return;
    }
    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty()) return;   // a folder name: nothing to create
    if (exists && !rename_keeps_the_file(folder, info)) {
        open_in_place();
        return;
    }
    std::string pattern = folder + "." + base.substr(0, kNameKept) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return;
    slot_ = register_temporary(pattern);
    // The new file takes the old one's permissions, or those of a new file.
    ::fchmod(fd, exists ? (info.st_mode & 07777) : new_file_mode());
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        ::unlink(pattern.c_str());
        unregister_temporary(slot_);
        return;
    }
    temporary_ = std::move(pattern);
}

void ReplacementFile::open_in_place() {
    target_fd_ = ::open(target_.c_str(), O_RDWR | O_CLOEXEC);
    if (target_fd_ < 0) return;
    file_ = scratch_file();
    if (!file_) {
        const int saved = errno;
        ::close(std::exchange(target_fd_, -1));
        errno = saved;
    }
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)),
      file_(std::exchange(other.file_, nullptr)), target_fd_(std::exchange(other.target_fd_, -1)),
      slot_(std::exchange(other.slot_, -1)) {
    other.temporary_.clear();
}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        other.temporary_.clear();
        file_ = std::exchange(other.file_, nullptr);
        target_fd_ = std::exchange(other.target_fd_, -1);
        slot_ = std::exchange(other.slot_, -1);
    }
    return *this;
}

bool ReplacementFile::commit() {
    if (!file_) return false;
    if (target_fd_ >= 0) return commit_in_place();
    bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    // fclose writes what stdio still buffers: a full disk may show only here.
    ok = std::fclose(std::exchange(file_, nullptr)) == 0 && ok;
    if (temporary_.empty()) return ok;
    if (ok) ok = std::rename(temporary_.c_str(), target_.c_str()) == 0;
    if (!ok) ::unlink(temporary_.c_str());
    unregister_temporary(slot_);
    temporary_.clear();
    return ok;
}

// The scratch content copied over the target, the old content kept in a
// second scratch file until the copy is complete and put back if it fails.
bool ReplacementFile::commit_in_place() {
    bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    std::FILE* old_copy = ok ? scratch_file() : nullptr;
    ok = old_copy && std::fflush(old_copy) == 0 && copy_whole(target_fd_, fileno(old_copy));
    if (ok && !copy_whole(fileno(file_), target_fd_)) {
        (void)copy_whole(fileno(old_copy), target_fd_);
        ok = false;
    }
    if (old_copy) std::fclose(old_copy);
    std::fclose(std::exchange(file_, nullptr));
    return ::close(std::exchange(target_fd_, -1)) == 0 && ok;
}

void ReplacementFile::discard() {
    if (file_) std::fclose(std::exchange(file_, nullptr));
    if (target_fd_ >= 0) ::close(std::exchange(target_fd_, -1));
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    unregister_temporary(slot_);
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
