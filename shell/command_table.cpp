#include "shell/command_table.hpp"

#include <algorithm>

namespace zeph {

namespace {
template <typename Match>
const CommandWord* find_row(Match match) {
    const auto words = command_words();
    const auto found = std::find_if(words.begin(), words.end(), match);
    return found == words.end() ? nullptr : &*found;
}
}  // namespace

const CommandWord* command_for(LineAction action) {
    if (action == LineAction::execute) return nullptr;
    return find_row([action](const CommandWord& w) { return w.action == action; });
}

const CommandWord* function_for(Domain domain, SignalMode mode) {
    return find_row([domain, mode](const CommandWord& w) {
        return w.kind == WordKind::function && w.domain == domain && w.mode == mode;
    });
}

const CommandWord* find_word(std::string_view word, WordKind kind) {
    return find_row([word, kind](const CommandWord& w) { return w.kind == kind && w.word == word; });
}

}  // namespace zeph
