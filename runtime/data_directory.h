// Where the programs find their data: the pictures, PPM fields, shaders,
// meshes, the music and keys.dat. The show reads them by paths relative to
// the working directory, so a program moves into its data directory right
// after reading its options, and keeps the directory it was started in for
// the paths the user gives (output files, KELVANE_RECORD, TMPDIR).
#pragma once
#include <string>
#include <vector>

// The directories that may hold the data of an executable that lies in
// `exeDirectory`, in the order they are tried: that directory itself (a
// build's run directory, an unpacked archive), then ../share/kelvane12 (an
// installation under a prefix).
std::vector<std::string> DataDirectoryCandidates(const std::string& exeDirectory);

// Finds the data directory from the location of the executable at `exePath`
// (symbolic links to it followed) and makes it the working directory. On
// failure prints one message on standard error, naming `program` and every
// directory it looked in, and returns false.
bool EnterDataDirectoryOf(const std::string& exePath, const char* program);
// The same for the running executable (/proc/self/exe).
bool EnterDataDirectory(const char* program);

// The data directory entered, and the working directory the program was
// started in; both empty before EnterDataDirectory succeeds.
const std::string& DataDirectory();
const std::string& StartDirectory();

// A path the user gave, taken from the start directory (and its ./ and ../
// steps folded); an empty path stays empty.
std::string FromStartDirectory(const std::string& path);
// Makes a relative path in the environment variable `name` absolute from the
// start directory, so that it still names what the user meant.
void AnchorEnvironmentPath(const char* name);
