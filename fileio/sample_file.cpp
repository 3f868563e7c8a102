#include "fileio/sample_file.hpp"

#include <algorithm>

namespace zeph {

std::string message_with_name(std::string_view text, std::string_view file_name) {
    std::string message(text);
    message += trimmed_file_name(file_name);
    if (message.size() > kMessageWidth) message.resize(kMessageWidth);
    return message;
}

std::string ends_early_message(std::string_view file_name, std::uint64_t got, std::uint64_t declared) {
    return message_with_name(kErrorReadingFile, std::string(trimmed_file_name(file_name)) + ": the file ends early (" +
                                                    std::to_string(got) + " of " + std::to_string(declared) +
                                                    " samples)");
}

std::size_t samples_in_range(std::uint64_t total, const ReadRange& range) {
    const auto skipped = static_cast<std::uint64_t>(std::max(range.first, 1) - 1);
    if (total <= skipped) return 0;
    return static_cast<std::size_t>((total - skipped - 1) / static_cast<std::uint64_t>(std::max(range.interval, 1)) + 1);
}

namespace {
thread_local std::vector<Complex> kept_read_storage;
}  // namespace

void reserve_samples(std::vector<Complex>& samples, std::size_t count) {
    if (samples.capacity() == 0) {
        samples.swap(kept_read_storage);
        samples.clear();
    }
    samples.reserve(count);
}

void keep_read_storage(std::vector<Complex>&& samples) {
    std::vector<Complex> kept = std::move(samples);
    if (kept.capacity() > 2 * kept.size()) kept = std::vector<Complex>();   // frees it, as `= {}` would not
    kept.clear();
    kept_read_storage.swap(kept);
}

void release_read_storage() { std::vector<Complex>().swap(kept_read_storage); }

}  // namespace zeph
