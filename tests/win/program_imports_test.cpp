// The program's import table: the libraries it loads only when a mode needs them (the probe's,
// user32 and advapi32 on their first call, WinHTTP and crypt32 on an https upload's) are not there,
// so no mode pays for them at start-up.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The names of the libraries an image imports, mapped without running or resolving anything.
std::vector<std::string> ImportedLibraries(const std::string& path)
{
    std::vector<std::string> names;
    const HMODULE image = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return names;
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         directory.VirtualAddress && entry->Name; ++entry)
        names.push_back(Lower(reinterpret_cast<const char*>(base + entry->Name)));
    FreeLibrary(image);
    return names;
}

} // namespace

TEST(ProgramImports, OnlyWhatEveryModeNeeds)
{
    // The https program loads WinHTTP and the crypto library only when it uploads.
    for (const char* program :
         {VXM_BIN_DIR "\\VxmCheck.exe", VXM_BIN_DIR "\\loopback-https\\VxmCheck.exe"}) {
        const std::vector<std::string> names = ImportedLibraries(program);
        ASSERT_FALSE(names.empty()) << program;
        EXPECT_NE(std::find(names.begin(), names.end(), "kernel32.dll"), names.end());
        for (const char* deferred : {"user32.dll", "advapi32.dll", "d3d9.dll", "d3dx9_42.dll",
                                     "ddraw.dll", "iphlpapi.dll", "winhttp.dll", "crypt32.dll"})
            EXPECT_EQ(std::find(names.begin(), names.end(), deferred), names.end())
                << program << ": " << deferred;
    }
}
