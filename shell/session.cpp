#include "shell/session.hpp"

#include <algorithm>
#include <utility>

#include "base/text.hpp"

namespace zeph {

bool Session::ask_numbers(std::string_view prompt, std::string_view default_reply, std::array<double, 4>& values,
                          int count) {
    PromptRequest request{.title = workspace.status_line, .prompt = prompt, .default_reply = default_reply,
                          .mode = 'N', .value_count = count, .values = values};
    if (!ask(request)) return false;
    // Only the asked values: a rejected reply may have stored more fields.
    std::copy_n(request.values.begin(), std::clamp(count, 0, 4), values.begin());
    return true;
}

bool Session::ask_text(std::string_view prompt, std::string_view default_reply, std::string& answer) {
    PromptRequest request{.title = workspace.status_line, .prompt = prompt, .current = answer,
                          .default_reply = default_reply, .mode = 'C'};
    if (!ask(request)) return false;
    answer = trim_right(request.current);
    return true;
}

bool Session::ask_line(std::string_view prompt, std::string& reply) {
    PromptRequest request{.title = workspace.status_line, .prompt = prompt};
    if (!ask(request)) return false;
    reply = std::move(request.current);
    return true;
}

bool Session::ask_values_text(std::string_view prompt, std::string_view default_reply, std::string& reply,
                              std::array<double, 4>& values, int count) {
    PromptRequest request{.title = workspace.status_line, .prompt = prompt, .current = reply,
                          .default_reply = default_reply, .mode = 'C', .value_count = count, .values = values};
    if (!ask(request)) return false;
    reply = request.current;
    values = request.values;
    return true;
}

}  // namespace zeph
