#include "base/text.hpp"
#include "shell/constants_dialogue.hpp"

#include <array>

#include "shell/listing.hpp"
#include "base/format_number.hpp"
#include "base/utf8.hpp"

namespace zeph {

namespace {
constexpr std::array<std::string_view, 11> kReservedNames{"DF",   "DT",   "DX",    "FMIN", "TMIN", "XMAX",
                                                          "XMIN", "NPTS", "TWOPI", "PI",   "HAFPI"};
}  // namespace

std::string defined_name(std::string_view reply) {
    const auto equals = reply.find('=');
    if (equals == std::string_view::npos) return {};
    std::string name;
    for (char c : reply.substr(0, equals))
        if (c != ' ') name.push_back(c);
    return name.substr(0, 6);
}

bool is_reserved_name(std::string_view name) {
    for (auto reserved : kReservedNames)
        if (name == reserved) return true;
    return false;
}

void define_dialogue(Session& session) {
    Workspace& workspace = session.workspace;
    std::string line;
    if (!session.ask_line(kDefinePrompt, line)) return;
    const std::string reply = upper_case(line);
    const std::string name = defined_name(reply);
    if (is_reserved_name(name)) {
        workspace.message_line = "Cannot redefine reserved variable: " + padded_characters(name, 6);
        return;
    }
    Complex value;
    std::string message;
    if (session.interpreter.evaluate(reply, value, message) != InterpStatus::ok) {
        workspace.message_line = message;
        return;
    }
    std::string shown = trim_right(name);
    if (shown.empty()) shown = " ";
    workspace.status_line =
        shown + " = (" + format_number(value.real()) + ", " + format_number(value.imag()) + ")";
}

void show_constants(Session& session) {
    std::vector<std::string> lines{" VARIABLE  REAL                 IMAG"};
    for (const Variable& variable : session.interpreter.variables())
        lines.push_back(" " + padded_characters(variable.name, 6) + "    " + format_number(variable.value.real()) + "  " +
                        format_number(variable.value.imag()));
    lines.emplace_back();
    lines.emplace_back(" Hit any key to continue....");
    show_text_screen(session, lines);
}

}  // namespace zeph
