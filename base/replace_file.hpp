#pragma once
// Files written whole are replaced, never rewritten in place: the new content
// goes to a temporary file beside the target and is renamed over it only when
// every write and the close succeeded, so a full disk, a size limit or an
// interruption leaves the old file as it was and nothing else behind. An
// append that fails is cut back to the length the file had before.
#include <sys/types.h>

#include <cstdio>
#include <string>

#include "base/open_file.hpp"

namespace zeph {

class ReplacementFile {
public:
    ReplacementFile() = default;
    // Creates the temporary file for `target`. A target that exists and is not
    // a regular file (a named pipe, a device) is opened and written directly:
    // there is no file to keep. A symbolic link keeps pointing at the new file.
    explicit ReplacementFile(const std::string& target);
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { discard(); }

    bool is_open() const { return file_ != nullptr; }
    explicit operator bool() const { return is_open(); }
    std::FILE* get() const { return file_; }

    // Flushes and closes the file and renames it over the target. False when
    // a write, the close or the rename failed: the temporary file is removed
    // and the target is as it was.
    bool commit();
    // Closes and removes the temporary file; the target is untouched.
    void discard();

private:
    std::string target_;      // the name the content ends under
    std::string temporary_;   // empty when writing the target directly
    std::FILE* file_ = nullptr;
};

// An append to a file that is cut back to its old length when it fails.
class GuardedAppend {
public:
    explicit GuardedAppend(const std::string& name);
    GuardedAppend(const GuardedAppend&) = delete;
    GuardedAppend& operator=(const GuardedAppend&) = delete;
    ~GuardedAppend();

    bool is_open() const { return file_ != nullptr; }
    std::FILE* get() const { return file_; }
    // Flushes and closes; with `ok` false (a write the caller saw fail), or a
    // failed flush or close, the file is cut back. True when all was written.
    bool finish(bool ok = true);

private:
    std::FILE* file_ = nullptr;
    int fd_ = -1;          // a second descriptor, to cut back after fclose
    off_t old_length_ = 0;
};

}  // namespace zeph
