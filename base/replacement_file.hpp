#pragma once
// A file written whole: the new content goes to a temporary file beside the
// target and is renamed over it only when complete, so a failed or
// interrupted write leaves the old file as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <stdio.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace zeph {

class ReplacementFile {
public:
    // Creates the temporary file "<target>.XXXXXX" (mode 0600 until commit).
    explicit ReplacementFile(std::string target) : target_(std::move(target)), temp_(target_ + ".XXXXXX") {
        fd_ = ::mkstemp(temp_.data());
        if (fd_ < 0) temp_.clear();
    }
    ~ReplacementFile() { discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    bool created() const { return fd_ >= 0 || committed_; }
    const std::string& temp_path() const { return temp_; }
    // The descriptor of the temporary file; release_fd() hands it over to a
    // writer that closes it itself.
    int fd() const { return fd_; }
    int release_fd() { return std::exchange(fd_, -1); }

    // Closes the temporary file (when still held), gives it the permissions
    // of a newly created file and renames it over the target. False when any
    // of these fails; the temporary file is then removed.
    bool commit() {
        if (temp_.empty()) return false;
        bool ok = true;
        if (fd_ >= 0) ok = ::close(std::exchange(fd_, -1)) == 0;
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ok && ::chmod(temp_.c_str(), 0666 & ~mask) == 0;
        ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
        if (!ok) return discard(), false;
        committed_ = true;
        temp_.clear();
        return true;
    }

    // Removes the temporary file (nothing after a commit).
    void discard() {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        if (!temp_.empty()) ::unlink(temp_.c_str());
        temp_.clear();
    }

private:
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace zeph
