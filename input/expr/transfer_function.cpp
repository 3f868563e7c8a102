#include "input/expr/transfer_function.hpp"

#include <cstdio>

namespace zeph {

std::string omega_assignment(double omega) {
    char field[64];
    std::snprintf(field, sizeof field, "%25.18f", omega);
    return std::string("S=CMPLX(0,") + field + ")";
}

std::string formula_error_message(std::string_view interpreter_message, std::string_view failed_text) {
    std::string message(interpreter_message);
    message += ": ";
    message += failed_text;
    return message;
}

}  // namespace zeph
