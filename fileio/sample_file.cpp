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

}  // namespace zeph
