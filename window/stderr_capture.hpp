#pragma once
// Keeps the process's standard error off the terminal while the text
// console owns it: whatever a library writes there (SDL, Mesa, Wayland, ...)
// goes to an unnamed temporary file instead, from which the caller can take
// the text to show it on the message line.
#include <string>

namespace zeph {

class StderrCapture {
public:
    StderrCapture() = default;
    ~StderrCapture() { stop(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Sends descriptor 2 to the capture file; false when it cannot (standard
    // error then stays as it was).
    bool start();
    // Puts the original standard error back.
    void stop();
    bool capturing() const { return saved_fd_ >= 0; }

    // What has been written since the last call (at most the last 4 KiB).
    std::string take();

private:
    int saved_fd_ = -1;   // the original standard error while capturing
    int file_fd_ = -1;    // the capture file, kept across start/stop
    long read_offset_ = 0;
};

}  // namespace zeph
