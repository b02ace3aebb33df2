#pragma once
// Where the UI library lies, from Kordo.ini beside the program: the path rules, over an abstract
// reader of configuration values so that they hold without the operating system.
#include <cstddef>
#include <functional>
#include <string>

namespace Kordo {

// Paths are at most this long (plus the terminator); a join or copy that would not fit is
// skipped, leaving its target as it was.
constexpr std::size_t kMaxPathLength = 259;
// Configuration files read at most while following absolute redirects.
constexpr std::size_t kMaxConfigurationFiles = 16;

// Reads `key` of `section` in `file` as GetPrivateProfileStringA does: at most `capacity` - 1
// characters, `fallback` when the file, section or key is missing.
using ProfileReader =
    std::function<std::string(const std::string& file, const char* section, const char* key,
                              const char* fallback, unsigned capacity)>;
// Receives a formatted problem report.
using ErrorSink = std::function<void(const std::string& text)>;

// Absolute: holds a colon or begins with a backslash.
bool IsAbsolutePath(const std::string& path);
// Up to and including the last backslash, else the last slash; a path with neither is taken as
// a directory and gets a backslash.
std::string DirectoryPart(const std::string& path);

// The library file named by the configuration that starts at <programDirectory>\Kordo.ini.
// A redirect chain that returns to a file already read, or grows past kMaxConfigurationFiles,
// is reported and ends at the last file read.
std::string FindComponentLibraryPath(const std::string& programDirectory, const ProfileReader& read,
                                     const ErrorSink& report);

} // namespace Kordo
