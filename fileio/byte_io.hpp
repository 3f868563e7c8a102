#pragma once
// Byte-level input and output of the sample files: opening, little-endian
// numbers, random access to a file's bytes, and checked block writes.
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_order.hpp"
#include "base/replace_file.hpp"
#include "base/status.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// Closes on destruction without looking at the result: only for files read.
// Writers close through finish_output_file, which checks.
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

enum class OpenOutcome { Opened, NotFound, Unreadable };

struct OpenedFile {
    OpenOutcome outcome = OpenOutcome::NotFound;
    FileHandle file;
    std::uint64_t size = 0;   // bytes, from the file system at open time
};

// Opens a regular file for reading as a byte stream. NotFound when no such
// file exists; Unreadable when it exists but cannot be opened or is not a
// regular file (a directory, a device).
OpenedFile open_for_reading(const std::string& file_name);

// The nearest 16-bit integer to v: halves away from zero (2.5 -> 3,
// -2.5 -> -3), limited to -32768 … 32767; NaN gives 0.
inline std::int16_t nearest_int16(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<std::int16_t>(std::round(v));
}

// True when the bytes at p spell `text` exactly.
inline bool bytes_equal(const std::byte* p, std::string_view text) {
    return std::memcmp(p, text.data(), text.size()) == 0;
}

// The bytes of a sample file, read by offset: an open file (not owned) or a
// span in memory. The readers take their sizes from size() and ask only for
// bytes inside it, so no count from a file header can make them read or
// allocate beyond the file.
class ByteSource {
public:
    explicit ByteSource(std::span<const std::byte> memory) : memory_(memory), size_(memory.size()) {}
    ByteSource(std::FILE* file, std::uint64_t size) : file_(file), size_(size) {}

    std::uint64_t size() const { return size_; }
    // The `count` bytes at `offset`, or an empty span when they are not all
    // inside the file or the read fails (failed() then tells which). The view
    // stays valid until the next call.
    std::span<const std::byte> bytes(std::uint64_t offset, std::size_t count);
    // A read from the file failed (an I/O error, or the file shrank).
    bool failed() const { return failed_; }

private:
    std::span<const std::byte> memory_;
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint64_t file_position_ = 0;   // where the next fread starts
    std::vector<std::byte> buffer_;
    bool failed_ = false;
};

// Little-endian output into a file through a block buffer. Every fwrite is
// checked; after the first failure nothing more is written and ok() is false.
class LittleEndianWriter {
public:
    explicit LittleEndianWriter(std::FILE* file) : file_(file) { buffer_.reserve(kBlockBytes); }

    void text(std::string_view characters);   // the bytes as they stand
    void u16(std::uint16_t v) { put().u16(v); }
    void i16(std::int16_t v) { put().i16(v); }
    void u32(std::uint32_t v) { put().u32(v); }
    void f32(float v) { put().f32(v); }
    void f64(double v) { put().f64(v); }
    // Writes the buffered bytes; false when this or an earlier write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    static constexpr std::size_t kBlockBytes = 64 * 1024;
    // The buffer to append one number to, emptied first when a block is full.
    LittleEndianBytes put() {
        if (buffer_.size() >= kBlockBytes) flush();
        return LittleEndianBytes(buffer_);
    }

    std::FILE* file_;
    std::vector<std::uint8_t> buffer_;
    bool ok_ = true;
};

// Starts the replacement of the named file, written as a byte stream; not
// open when it cannot be created. The old file stays until it is finished.
ReplacementFile create_output_file(const std::string& file_name);

// Flushes the writer and puts the file in place, checking every step:
// success, or "Error writing file: " with the name when any write, the close
// or the rename failed (the old file is then kept and nothing left behind).
Status finish_output_file(ReplacementFile file, LittleEndianWriter& writer, std::string_view file_name);

// Reads the named regular file with read(source, name) and returns its
// result; "Cannot find file: " + name (NothingRead) when it cannot be opened.
template <class Read>
SignalRead read_named_file(const std::string& file_name, Read read) {
    const std::string name(trimmed_file_name(file_name));
    OpenedFile opened = open_for_reading(name);
    if (opened.outcome != OpenOutcome::Opened) {
        SignalRead refused;
        refused.code = ReadStatus::NothingRead;
        refused.status = Status::failure(message_with_name(kCannotFindFile, name));
        return refused;
    }
    ByteSource source(opened.file.get(), opened.size);
    return read(source, std::string_view(name));
}

}  // namespace zeph
