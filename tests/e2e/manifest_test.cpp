// The manifest embedded in the built program, read back as Windows reads it: the systems it is
// made for (so Windows 8.1 and later report their true version), the execution level, and DPI
// awareness (per monitor where offered, the system's DPI before).
#include "tests/e2e/program_driver.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

std::string EmbeddedManifest(const std::string& program)
{
    HMODULE image = LoadLibraryExA(program.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!image)
        return "";
    std::string text;
    if (HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)))
        if (HGLOBAL loaded = LoadResource(image, found))
            text.assign(static_cast<const char*>(LockResource(loaded)),
                        SizeofResource(image, found));
    FreeLibrary(image);
    return text;
}

} // namespace

TEST(Manifest, NamesTheSupportedSystemsTheExecutionLevelAndDpiAwareness)
{
    const std::string manifest = EmbeddedManifest(ProgramPath());
    ASSERT_FALSE(manifest.empty());
    for (const char* expected :
         {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
          "level=\"asInvoker\" uiAccess=\"false\"", "SMI/2005/WindowsSettings\">true</dpiAware>",
          "SMI/2016/WindowsSettings\">PerMonitorV2, System</dpiAwareness>"})
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
}
