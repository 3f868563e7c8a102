#include "console/output_capture.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zeph {

namespace {

constexpr long kMaxTaken = 4096;
constexpr std::array<int, 2> kCaptured{STDOUT_FILENO, STDERR_FILENO};

std::atomic<int> g_terminal_fd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from signal handlers");

int temporary_file() {
    std::error_code error;
    std::string dir = std::filesystem::temp_directory_path(error).string();
    if (error || dir.empty()) dir = "/tmp";
#ifdef O_TMPFILE
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
#endif
    std::string name = dir + "/zeph-output-XXXXXX";
    const int named = ::mkstemp(name.data());
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

void flush_standard_streams() {
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

int terminal_output_fd() {
    const int fd = g_terminal_fd.load(std::memory_order_relaxed);
    return fd >= 0 ? fd : STDOUT_FILENO;
}

void set_terminal_output_fd(int fd) { g_terminal_fd.store(fd, std::memory_order_relaxed); }

bool OutputCapture::start() {
    if (capturing()) return true;
    if (file_fd_ < 0) file_fd_ = temporary_file();
    if (file_fd_ < 0) return false;
    flush_standard_streams();
    for (std::size_t i = 0; i < kCaptured.size(); ++i) {
        saved_[i] = ::fcntl(kCaptured[i], F_DUPFD_CLOEXEC, 3);
        if (saved_[i] < 0 || ::dup2(file_fd_, kCaptured[i]) < 0) {
            stop();
            return false;
        }
    }
    return true;
}

void OutputCapture::stop() {
    if (saved_[0] < 0 && saved_[1] < 0) return;
    flush_standard_streams();
    for (std::size_t i = 0; i < kCaptured.size(); ++i) {
        if (saved_[i] < 0) continue;
        ::dup2(saved_[i], kCaptured[i]);
        ::close(saved_[i]);
        saved_[i] = -1;
    }
}

std::string OutputCapture::take() {
    if (file_fd_ < 0) return {};
    flush_standard_streams();
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
