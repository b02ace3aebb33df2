// The Kordo.ini path rules over real files and the real GetPrivateProfileStringA: the same
// table the native tests run over their imitation of it.
#include "framework/component_library_loader.hpp"
#include "framework/component_library_path.hpp"
#include "tests/core/kordo_library_path_cases.hpp"
#include "tests/win/framework_scratch_folder.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

TEST(ProfileString, ValuesAsThePathRulesExpectThem)
{
    ScratchFolder folder;
    const std::string file = folder.Write(
        "t.ini", "[Values]\r\nplain =  \t a b \t \r\nquoted = \" \ta b \"\r\nsingle='x'\r\n"
                 "empty=\r\n;plain=commented\r\n");
    using Kordo::ReadProfileString;
    EXPECT_EQ(ReadProfileString(file, "Values", "plain", "d", 260), "a b");
    EXPECT_EQ(ReadProfileString(file, "VALUES", "Plain", "d", 260), "a b");
    EXPECT_EQ(ReadProfileString(file, "Values", "quoted", "d", 260), " \ta b ");
    EXPECT_EQ(ReadProfileString(file, "Values", "single", "d", 260), "x");
    EXPECT_EQ(ReadProfileString(file, "Values", "empty", "d", 260), "");
    EXPECT_EQ(ReadProfileString(file, "Values", "missing", "d", 260), "d");
    EXPECT_EQ(ReadProfileString(file, "Other", "plain", "", 260), "");
    EXPECT_EQ(ReadProfileString(folder.Path() + "\\none.ini", "Values", "plain", "0", 260), "0");
    EXPECT_EQ(ReadProfileString(file, "Values", "plain", "d", 3), "a "); // capacity - 1
}

TEST(LibraryPathUnderWine, KordoIniCasesOverRealFiles)
{
    for (const LibraryPathCase& c : LibraryPathCases()) {
        SCOPED_TRACE(c.name);
        ScratchFolder root; // a folder per case: Wine keeps read profiles in a cache
        for (const IniFile& file : c.files)
            root.Write(file.path, ExpandRoot(file.text, root.Path()));
        std::vector<std::string> reports;
        const std::string path = Kordo::FindComponentLibraryPath(
            root.Path() + "\\" + kCaseProgramFolder, Kordo::ReadProfileString,
            [&](const std::string& text) { reports.push_back(text); });
        EXPECT_EQ(path, ExpandRoot(c.expected, root.Path()));
        EXPECT_EQ(reports.size(), c.reports);
    }
}

TEST(LibraryPathUnderWine, ProgramDirectoryIsTheFolderOfThisProgram)
{
    const std::string& directory = Kordo::ProgramDirectory();
    EXPECT_EQ(
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, directory.c_str(), -1, VXM_BIN_DIR, -1),
        CSTR_EQUAL)
        << directory;
    EXPECT_EQ(&Kordo::ProgramDirectory(), &directory); // worked out once
}
