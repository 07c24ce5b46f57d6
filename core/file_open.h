// Opening the files the programs read and write at start-up. A named pipe or
// a device where a file belongs would block open() or the first read for
// ever (and swallow the stop signals that come meanwhile), so files are
// opened without blocking and must be regular files.
#pragma once
#include <cstdio>
#include <string>

// Opens a regular file for reading. Anything else (a directory, a pipe, a
// device) is refused without waiting on it. Returns the descriptor, or -1
// with the reason in *why; errno is then ENOENT when nothing is at the path.
int OpenRegularForReading(const char* path, std::string* why);
// The same as a stdio stream (mode "rb").
std::FILE* OpenRegularFile(const char* path, std::string* why);
// Opens a file for appending, creating it when it is not there; refuses
// what is not a regular file, without waiting on a pipe. Returns a stream,
// or null with the reason in *why.
std::FILE* OpenRegularForAppending(const char* path, std::string* why);
// Writes all of `size` bytes to a descriptor, through short writes and
// interruptions; false with errno set on failure.
bool WriteAllBytes(int fd, const void* data, size_t size);
// Reads exactly `size` bytes; false at an early end of file or on an error.
bool ReadAllBytes(int fd, void* data, size_t size);
