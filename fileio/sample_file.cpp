#include "fileio/sample_file.hpp"

namespace zeph {

std::string message_with_name(std::string_view text, std::string_view file_name) {
    std::string message(text);
    message += trimmed_file_name(file_name);
    if (message.size() > kMessageWidth) message.resize(kMessageWidth);
    return message;
}

}  // namespace zeph
