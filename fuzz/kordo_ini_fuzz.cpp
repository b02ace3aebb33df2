// Kordo.ini and its redirects: FindComponentLibraryPath over files in memory built from the
// input. The first line is the program's folder; each line "@@ <path>" starts a file whose text
// runs to the next such line. The search ends, reads no file over and over, keeps paths within
// 259 characters and finds the library by a value or beside a file it read.
#include "fuzz/fuzz_check.hpp"

#include "framework/component_library_path.hpp"
#include "tests/core/fake_profiles.hpp"

#include <sstream>
#include <vector>

namespace {

constexpr char kFileMark[] = "@@ ";

FakeProfiles FilesOf(std::istream& lines)
{
    FakeProfiles profiles;
    std::string path;
    std::string text;
    bool inFile = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(kFileMark, 0) == 0) {
            if (inFile)
                profiles.Add(path, text);
            path = line.substr(sizeof kFileMark - 1);
            text.clear();
            inFile = true;
        } else {
            text += line + "\n";
        }
    }
    if (inFile)
        profiles.Add(path, text);
    return profiles;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream lines(FuzzText(data, size));
    std::string programDirectory;
    std::getline(lines, programDirectory);
    FakeProfiles profiles = FilesOf(lines);

    std::vector<std::string> reports;
    std::size_t redirectReads = 0;
    const std::string library = Kordo::FindComponentLibraryPath(
        programDirectory,
        [&](const std::string& file, const char* section, const char* key, const char* fallback,
            unsigned capacity) {
            FuzzCheck(file.size() <= Kordo::kMaxPathLength, "files read have paths that fit", file);
            if (std::string(section) == "Redirect")
                ++redirectReads;
            return profiles.Read(file, section, key, fallback, capacity);
        },
        [&](const std::string& text) { reports.push_back(text); });

    FuzzCheck(library.size() <= Kordo::kMaxPathLength, "the library path fits", library);
    FuzzCheck(redirectReads <= Kordo::kMaxConfigurationFiles, "redirects are followed boundedly");
    for (const auto& [file, count] : profiles.reads)
        FuzzCheck(count <= 4, "no file is read over and over", file);
    FuzzCheck(reports.size() <= 1, "at most one problem is reported");
    for (const std::string& report : reports)
        FuzzCheck(report.rfind("[Kordo_Error] ", 0) == 0 && report.size() <= 1023,
                  "reports are loader errors that fit their buffer", report);

    bool besideAFileRead = false;
    for (const auto& read : profiles.reads)
        besideAFileRead |= library.rfind(Kordo::DirectoryPart(read.first), 0) == 0;
    FuzzCheck(library.empty() || Kordo::IsAbsolutePath(library) || besideAFileRead,
              "the library is named by a value or lies beside a file read", library);
    return 0;
}
