#include "fileio/output_file.hpp"

#include "fileio/ascii.hpp"
#include "fileio/binary_records.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

std::string output_format_code(std::string_view answer) {
    std::string code(answer.substr(0, 2));
    if (!code.empty() && code[0] == 'r') code[0] = 'R';
    if (!code.empty() && code[0] == 'i') code[0] = 'I';
    return code;
}

Status write_output_file(std::span<const double> values, std::string_view format_answer,
                         const std::string& file_name, double xmin, double dx) {
    const std::string code = output_format_code(format_answer);
    const bool ascii = code.size() == 2 && (code[1] == 'C' || code[1] == 'c');
    if (!ascii) return write_signal_file(values, code, file_name, xmin, dx);
    if (code[0] == '1') return write_ascii_file(values, AsciiLayout::ValuesOnly, file_name, xmin, dx);
    if (code[0] == '2') return write_ascii_file(values, AsciiLayout::AbscissaAndValue, file_name, xmin, dx);
    return Status::failure(message_with_name(kUnknownFormat, code));
}

}  // namespace zeph
