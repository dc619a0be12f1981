// The process's open file descriptors, counted in /proc/self/fd, for leak checks.
#pragma once

// Counts the directory's own descriptor too, the same way on every call.
unsigned open_descriptors();
