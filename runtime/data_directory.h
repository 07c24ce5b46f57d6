// Where the programs find their data: the pictures, PPM fields, shaders,
// meshes, the music and keys.dat. The show reads them by paths relative to
// the working directory, so a program moves into its data directory right
// after reading its options, and keeps the directory it was started in for
// the paths the user gives (output files, KELVANE_RECORD, TMPDIR).
#pragma once
#include <string>

// Finds the data directory from the location of the running executable
// (/proc/self/exe, links to it followed) and makes it the working directory:
// the executable's own directory (a build's run directory) when it holds the
// data, else ../share/kelvane12 beside it (an installation, the archive).
// On failure prints one message on standard error, naming `program` and
// every directory it looked in, and returns false.
bool EnterDataDirectory(const char* program);

// The data directory entered; empty before EnterDataDirectory succeeds.
const std::string& DataDirectory();

// A path the user gave, taken from the directory the program was started in
// (and its ./ and ../ steps folded); an empty path stays empty.
std::string FromStartDirectory(const std::string& path);
// Makes a relative path in the environment variable `name` absolute from the
// start directory, so that it still names what the user meant.
void AnchorEnvironmentPath(const char* name);
