#include "fileio/byte_io.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "base/open_file.hpp"
#include "base/stop_request.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

OpenedFile open_for_reading(const std::string& file_name) {
    OpenedFile opened;
    opened.file.reset(open_file_without_waiting(file_name, "rb"));
    if (!opened.file) {
        opened.outcome = (errno == ENOENT || errno == ENOTDIR) ? OpenOutcome::NotFound
                                                               : OpenOutcome::Unreadable;
        return opened;
    }
    struct stat info {};
    if (fstat(fileno(opened.file.get()), &info) != 0 || !S_ISREG(info.st_mode)) {
        opened.file.reset();
        opened.outcome = OpenOutcome::Unreadable;
        return opened;
    }
    opened.size = static_cast<std::uint64_t>(info.st_size);
    opened.outcome = OpenOutcome::Opened;
    return opened;
}

std::span<const std::byte> ByteSource::bytes(std::uint64_t offset, std::size_t count) {
    if (offset > size_ || count > size_ - offset) return {};
    if (!file_) return memory_.subspan(static_cast<std::size_t>(offset), count);
    if (failed_) return {};
    if (offset != file_position_) {
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) {
            failed_ = true;
            return {};
        }
        file_position_ = offset;
    }
    if (stop_requested()) {   // the run is ending: the read is abandoned like a failed one
        failed_ = true;
        return {};
    }
    buffer_.resize(count);
    const std::size_t got = std::fread(buffer_.data(), 1, count, file_);
    file_position_ += got;
    if (got != count) {   // an I/O error, or the file shrank since it was opened
        failed_ = true;
        return {};
    }
    return buffer_;
}

void LittleEndianWriter::text(std::string_view characters) {
    while (!characters.empty()) {
        if (buffer_.size() >= kBlockBytes) flush();
        const std::size_t n = std::min(characters.size(), kBlockBytes - buffer_.size());
        LittleEndianBytes(buffer_).text(characters.substr(0, n));
        characters.remove_prefix(n);
    }
}

bool LittleEndianWriter::flush() {
    if (stop_requested()) ok_ = false;   // the run is ending: the old file is kept
    if (ok_ && !buffer_.empty()) {
        ok_ = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
    }
    buffer_.clear();
    return ok_;
}

ReplacementFile create_output_file(const std::string& file_name) { return ReplacementFile(file_name); }

Status finish_output_file(ReplacementFile file, LittleEndianWriter& writer, std::string_view file_name) {
    const bool written = writer.flush();
    if (!written) file.discard();
    if (!written || !file.commit()) return Status::failure(message_with_name(kErrorWritingFile, file_name));
    return Status::success();
}

}  // namespace zeph
