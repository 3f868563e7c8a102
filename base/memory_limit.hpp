#pragma once
// How much memory a request may still take, so that a large request is
// refused with a message instead of ending the run: storage is filled with
// zeros when it is allocated, and a request beyond what the process may hold
// would be ended by the system (the cgroup's limit) or throw (the address-space limit).

namespace zeph {

// Bytes the process may still allocate: the least of three quarters of the
// machine's memory, what the address-space limit (ulimit -v) leaves beside
// what is mapped now, and what the memory limit of the process's cgroup
// leaves beside what the group uses now. Negative never; huge when nothing limits.
long double available_memory_bytes();

}  // namespace zeph
