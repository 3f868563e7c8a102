#include "fileio/matrix_text.hpp"

#include <cstdio>

#include "fileio/byte_io.hpp"
#include "fileio/sample_file.hpp"

namespace zeph {

inline constexpr std::string_view kMatrixSizeInvalid = "ERROR. MATRIX SIZE DOES NOT MATCH ITS ABSCISSAE.";

Status write_matrix_text(std::span<const double> x, std::span<const double> y, std::span<const double> values,
                         const std::string& file_name) {
    if (values.size() != x.size() * y.size()) return Status::failure(std::string(kMatrixSizeInvalid));
    const std::string name(trimmed_file_name(file_name));
    ReplacementFile file = create_output_file(name);
    if (!file) return Status::failure(message_with_name(kCannotOpenFile, name));
    LittleEndianWriter out(file.get());
    char line[96];
    for (std::size_t i = 0; i < x.size(); ++i) {
        for (std::size_t j = 0; j < y.size(); ++j) {
            const int length =
                std::snprintf(line, sizeof line, "%.15E %.15E %.15E\n", x[i], y[j], values[i * y.size() + j]);
            out.text({line, static_cast<std::size_t>(length)});
        }
        out.text("\n");
    }
    return finish_output_file(std::move(file), out, name);
}

}  // namespace zeph
