#include "fileio/sample_file.hpp"

namespace zeph {

std::string_view trimmed_file_name(std::string_view name) {
    const std::size_t last = name.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : name.substr(0, last + 1);
}

std::string message_with_name(std::string_view text, std::string_view file_name) {
    std::string message(text);
    message += trimmed_file_name(file_name);
    if (message.size() > kMessageWidth) message.resize(kMessageWidth);
    return message;
}

}  // namespace zeph
