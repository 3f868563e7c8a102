#pragma once
// Files written whole are replaced, never rewritten in place: the new content
// goes to a temporary file beside the target and is renamed over it only when
// every write and the close succeeded, so a full disk, a size limit or an
// interruption leaves the old file as it was and nothing else behind. An
// append that fails is cut back to the length the file had before.
//
// As editors do, a target the user may not write (no write permission, 0444)
// is refused, and a file whose owner, group, hard links or folder would not
// survive a rename (another user's file, a second name, a folder the user may
// not write) is written in place instead: the new content is gathered in an
// unnamed scratch file and copied over the old one only when complete, with a
// copy of the old content kept to put back if that copy fails.
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
    // Not open (errno EACCES) for a target without write permission.
    explicit ReplacementFile(const std::string& target);
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    ~ReplacementFile() { discard(); }

    bool is_open() const { return file_ != nullptr; }
    explicit operator bool() const { return is_open(); }
    std::FILE* get() const { return file_; }

    // Flushes and closes the file and renames it over the target (or copies it
    // into the target, in place). False when a write, the close, the rename or
    // the copy failed: the temporary file is removed and the target is as it was.
    bool commit();
    // Closes and removes the temporary file; the target is untouched.
    void discard();

private:
    void open_in_place();
    bool commit_in_place();

    std::string target_;      // the name the content ends under
    std::string temporary_;   // empty when writing the target directly or in place
    std::FILE* file_ = nullptr;
    int target_fd_ = -1;      // in place: the target, opened for update
    int slot_ = -1;           // the temporary's entry in the registry of live temporaries
};

// Removes every temporary file of a ReplacementFile not yet committed or
// discarded. Async-signal-safe (unlink only): for a handler of a fatal signal,
// so that no temporary file outlives the program. Registered with atexit when
// the first temporary file is made, so exit() removes them too.
void remove_replacement_temporaries();

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
