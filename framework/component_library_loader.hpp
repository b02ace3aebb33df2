#pragma once
// Finds and loads the UI library KorFact.dll and takes its component factory. Problems go only to
// the debugger output; callers see gComponentFactory stay null.
#include <string>

namespace Kordo {

// The folder of the program file, without a trailing backslash; worked out once.
const std::string& ProgramDirectory();

// GetPrivateProfileStringA into a buffer of `capacity` bytes.
std::string ReadProfileString(const std::string& file, const char* section, const char* key,
                              const char* fallback, unsigned capacity);

// The library path named by Kordo.ini beside the program.
std::string FindComponentLibraryPath();

// Takes KorFact.dll when it is already loaded, else loads the file Kordo.ini names; then stores
// the factory its CreateComponent gives (null included) in gComponentFactory. When no library
// loads, gComponentFactory stays as it was.
void LoadComponentLibrary();

} // namespace Kordo
