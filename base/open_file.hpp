#pragma once
// Opening files without waiting: a plain open of a named pipe blocks until
// the other end is opened, which may be never.
#include <cstdio>
#include <string>

namespace zeph {

// Opens `name` with the open(2) `flags` and the matching fdopen `mode`,
// O_NONBLOCK for the open only, so that a named pipe without a reader refuses
// a writer at once (ENXIO) and one without a writer opens for reading at once.
// The descriptor is closed on exec. Null on failure, with errno telling why.
std::FILE* open_without_waiting(const std::string& name, int flags, const char* mode);

// The same by fopen mode alone: "r"/"rb" reads, "w"/"wb" creates or empties
// for writing, "r+"/"r+b" updates a regular file that exists (a pipe would
// wait for the data read back, so it is refused).
std::FILE* open_file_without_waiting(const std::string& name, const char* mode);

}  // namespace zeph
