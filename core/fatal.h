// The program's one way to stop on an error it cannot go on from: the
// message, then exit status 1.
#pragma once
#include <cstdio>

// Prints the message (printf format) on the given stream, flushes it and ends
// the process with status 1.
[[noreturn]] void Fatal(std::FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
