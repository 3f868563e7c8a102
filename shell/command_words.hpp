#pragma once
// The command language: two-letter words found anywhere in a line, sorted
// into a FUNCTION, at most one OPERATION, a PARAMETER, OPTIONS and the
// top-level commands, as the command table lists them. Pure: the scan
// changes only the selection and options.
#include <span>
#include <string>
#include <string_view>

#include "shell/command_table.hpp"
#include "shell/workspace.hpp"

namespace zeph {

inline constexpr std::string_view kMissingParameters = "ERROR OR MISSING PARAMETERS. REENTER COMMAND LINE.";

// Scans `reply` (the typed line, any case) into the selection and options,
// with the words of `table` (the program's table unless a test gives one).
// A blank line keeps everything of the previous line.
LineAction scan_command_line(std::string_view reply, Workspace& workspace,
                             std::span<const CommandWord> table = command_words());

// The 80-character command line: a blank, then the reply upper-cased (a..z only).
std::string make_command_line(std::string_view reply);

// Whether the word (two or three characters after the blank) stands at 1-based column `column`.
bool word_at(std::string_view line, int column, std::string_view word);

// The title prefix of a display ("Waveform of  ", "CU Spectrum  ", "X-Y Graph:   " ...).
std::string title_prefix(const Workspace& workspace);

}  // namespace zeph
