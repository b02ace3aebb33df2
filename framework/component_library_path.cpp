#include "framework/component_library_path.hpp"

#include "framework/error_report.hpp"

#include <algorithm>
#include <cctype>
#include <vector>

namespace Kordo {

namespace {

constexpr unsigned kPathCapacity = kMaxPathLength + 1;
constexpr unsigned kLibraryNameCapacity = 1024;
const char* const kBlanks = " \t";

void AssignPath(std::string& target, const std::string& value)
{
    if (value.size() <= kMaxPathLength)
        target = value;
}

bool IsBlank(const std::string& text)
{
    return text.find_first_not_of(kBlanks) == std::string::npos;
}

std::string TrimBlanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Windows file names ignore case.
bool SameFile(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// Follows [Redirect] Path from the first file; returns the file whose values count.
std::string FindConfigurationFile(const std::string& first, const ProfileReader& read,
                                  const ErrorSink& report)
{
    std::vector<std::string> chain{first};
    for (;;) {
        const std::string& current = chain.back();
        const std::string target = read(current, "Redirect", "Path", "", kPathCapacity);
        if (IsBlank(target))
            return current;
        if (!IsAbsolutePath(target)) {
            std::string final = current;
            AssignPath(final, DirectoryPart(current) + target);
            return final;
        }
        const bool seen = std::any_of(chain.begin(), chain.end(), [&](const std::string& file) {
            return SameFile(file, target);
        });
        if (seen) {
            report(FormatErrorReport("[Kordo_Error] Redirect in %s leads back to %s; the redirect "
                                     "is ignored.\n",
                                     current.c_str(), target.c_str()));
            return current;
        }
        if (chain.size() == kMaxConfigurationFiles) {
            report(FormatErrorReport("[Kordo_Error] Redirect in %s goes past %u files; the "
                                     "redirect is ignored.\n",
                                     current.c_str(),
                                     static_cast<unsigned>(kMaxConfigurationFiles)));
            return current;
        }
        chain.push_back(target);
    }
}

} // namespace

bool IsAbsolutePath(const std::string& path)
{
    return path.find(':') != std::string::npos || (!path.empty() && path[0] == '\\');
}

std::string DirectoryPart(const std::string& path)
{
    std::size_t cut = path.rfind('\\');
    if (cut == std::string::npos)
        cut = path.rfind('/');
    if (cut == std::string::npos)
        return path + "\\";
    return path.substr(0, cut + 1);
}

std::string FindComponentLibraryPath(const std::string& programDirectory, const ProfileReader& read,
                                     const ErrorSink& report)
{
    std::string first;
    AssignPath(first, programDirectory + "\\Kordo.ini");
    const std::string file = FindConfigurationFile(first, read, report);

    std::string library;
    std::string name = TrimBlanks(read(file, "361", "DLL", "", kLibraryNameCapacity));
    if (IsAbsolutePath(name)) {
        AssignPath(library, name);
        return library;
    }
    const std::string noDefault =
        TrimBlanks(read(file, "361", "NotUseDefaultDllPath", "0", kPathCapacity));
    if (noDefault.empty() || noDefault[0] != '1') {
        const std::string directory = read(file, "DefaultValue", "DllPath", "", kPathCapacity);
        if (!IsBlank(directory))
            AssignPath(name, directory + "\\" + name);
        if (IsAbsolutePath(name)) {
            AssignPath(library, name);
            return library;
        }
    }
    AssignPath(library, DirectoryPart(file) + name);
    return library;
}

} // namespace Kordo
