#pragma once
// Facts about the process and the machine, and directory creation.

#include <cstdint>

namespace GAME {

// The resident set size of the process in bytes; 0 when it cannot be read.
uint64_t GetProcessMemoryUsage();

// Creates every missing directory along a '/'-separated path. True when the whole path exists as
// a directory afterwards.
bool CreateDirectoryPath(const char* path);

// The number of processors this process may run on; at least 1.
int GetProcessorCount();

}  // namespace GAME
