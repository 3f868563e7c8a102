#include "window/stderr_capture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/text.hpp"

namespace zeph {

namespace {

constexpr long kMaxTaken = 4096;

int temporary_file() {
    std::error_code error;
    std::string dir = std::filesystem::temp_directory_path(error).string();
    if (error || dir.empty()) dir = "/tmp";
#ifdef O_TMPFILE
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string name = dir + "/zeph-stderr-XXXXXX";
    const int named = ::mkstemp(name.data());
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

}  // namespace

bool StderrCapture::start() {
    if (capturing()) return true;
    if (file_fd_ < 0) file_fd_ = temporary_file();
    if (file_fd_ < 0) return false;
    std::fflush(stderr);
    saved_fd_ = ::dup(STDERR_FILENO);
    if (saved_fd_ < 0) return false;
    if (::dup2(file_fd_, STDERR_FILENO) < 0) {
        ::close(saved_fd_);
        saved_fd_ = -1;
        return false;
    }
    return true;
}

void StderrCapture::stop() {
    if (!capturing()) return;
    std::fflush(stderr);
    ::dup2(saved_fd_, STDERR_FILENO);
    ::close(saved_fd_);
    saved_fd_ = -1;
}

std::string StderrCapture::take() {
    if (file_fd_ < 0) return {};
    std::fflush(stderr);
    const off_t end = ::lseek(file_fd_, 0, SEEK_END);
    if (end <= read_offset_) return {};
    const long from = std::max(read_offset_, static_cast<long>(end) - kMaxTaken);
    std::string text(static_cast<std::size_t>(end - from), '\0');
    const ssize_t n = ::pread(file_fd_, text.data(), text.size(), from);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    read_offset_ = static_cast<long>(end);
    return text;
}

}  // namespace zeph
