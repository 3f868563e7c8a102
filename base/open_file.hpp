#pragma once
// Opening files without waiting: a plain open of a named pipe blocks until
// the other end is opened, which may be never.
#include <cstdio>
#include <string>

namespace zeph {

// fopen that never waits. `mode` is "r"/"rb" (read), "w"/"wb" (create or
// empty, then write) or "r+"/"r+b" (update a regular file that exists). A
// named pipe without a writer opens for reading at once; one without a reader
// is refused for writing (ENXIO), and updating takes only a regular file,
// since a pipe would wait for the data read back. The file descriptor is
// closed on exec. nullptr on failure, with errno telling why.
std::FILE* open_file_without_waiting(const std::string& name, const char* mode);

}  // namespace zeph
