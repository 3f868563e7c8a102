#pragma once
// Keeps the process's standard output and standard error off the terminal
// while the text console owns it: whatever a library writes there (SDL, Mesa,
// Wayland, libsndfile's printf, ...) goes to an unnamed temporary file
// instead, from which the caller can take the text to show it on the message
// line. The console itself writes through its own copy of the terminal's
// descriptor (terminal_output_fd), which the capture leaves alone.
#include <array>
#include <string>

namespace zeph {

class OutputCapture {
public:
    OutputCapture() = default;
    ~OutputCapture() { stop(); }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Sends descriptors 1 and 2 to the capture file; false when it cannot
    // (both then stay as they were).
    bool start();
    // Puts the original standard output and standard error back.
    void stop();
    bool capturing() const { return saved_[0] >= 0; }

    // What has been written since the last call (at most the last 4 KiB).
    std::string take();

private:
    std::array<int, 2> saved_{-1, -1};   // the original descriptors 1 and 2 while capturing
    int file_fd_ = -1;                   // the capture file, kept across start/stop
    long read_offset_ = 0;
};

// The descriptor that reaches the terminal: the console's own copy while it
// is up (standard output may then be captured), else standard output. Safe
// to call from a signal handler.
int terminal_output_fd();
// Set by the console when it takes the terminal, -1 when it gives it back.
void set_terminal_output_fd(int fd);

}  // namespace zeph
