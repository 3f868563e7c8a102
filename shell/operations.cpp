#include "shell/operations.hpp"

#include <algorithm>
#include <array>

namespace zeph {

std::string upper_trimmed(std::string_view reply) { return upper_case(trim_right(reply)); }

PromptRequest kept_answer_question(const Session& session, std::string_view prompt, std::string_view kept) {
    return PromptRequest{.title = session.workspace.status_line, .prompt = prompt, .current = std::string(kept),
                         .default_reply = kept, .mode = 'C'};
}

bool ask_kept_values(Session& session, std::string_view prompt, std::array<double, 4>& values, int count) {
    return session.ask_numbers(prompt, current_values_text(values, count), values, count);
}

char first_letter(std::string_view reply) { return reply.empty() ? ' ' : upper_letter(reply.front()); }

}  // namespace zeph
