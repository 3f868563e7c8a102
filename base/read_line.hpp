#pragma once
// Lines of text read from a stream: replies, replay files, the reply log.
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace zeph {

// The next line of `file` without its "\n" (and a "\r" before it), nothing at
// the end of the file. At most `longest` bytes are kept: the rest of a longer
// line is read and dropped, so no line is unbounded. With `stoppable`, also
// nothing once the run has been asked to end (a signal), even mid-line.
std::optional<std::string> read_text_line(std::FILE* file, std::size_t longest, bool stoppable = false);

}  // namespace zeph
