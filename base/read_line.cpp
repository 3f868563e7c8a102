#include "base/read_line.hpp"

#include "base/stop_request.hpp"

namespace zeph {

std::optional<std::string> read_text_line(std::FILE* file, std::size_t longest, bool stoppable) {
    if (!file || (stoppable && stop_requested())) return std::nullopt;
    std::string line;
    bool any = false;
    for (int c = std::getc(file); c != EOF && !(stoppable && stop_requested()); c = std::getc(file)) {
        any = true;
        if (c == '\n') break;
        if (line.size() < longest) line.push_back(static_cast<char>(c));
    }
    if (!any) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace zeph
