// Where the UI library is looked for: Kordo.ini values, redirects, the 259-character rule and
// the bound on redirect chains, over an imitation of GetPrivateProfileStringA.
#include "framework/component_library_path.hpp"
#include "framework/error_report.hpp"
#include "tests/core/fake_profiles.hpp"
#include "tests/core/kordo_library_path_cases.hpp"

#include <gtest/gtest.h>

namespace {

struct Outcome {
    std::string path;
    std::vector<std::string> reports;
};

Outcome Find(FakeProfiles& profiles, const std::string& programDirectory)
{
    Outcome outcome;
    outcome.path = Kordo::FindComponentLibraryPath(
        programDirectory,
        [&](const std::string& file, const char* section, const char* key, const char* fallback,
            unsigned capacity) { return profiles.Read(file, section, key, fallback, capacity); },
        [&](const std::string& text) { outcome.reports.push_back(text); });
    return outcome;
}

const std::string kRoot = "C:\\cases";

} // namespace

TEST(LibraryPath, KordoIniCases)
{
    for (const LibraryPathCase& c : LibraryPathCases()) {
        SCOPED_TRACE(c.name);
        FakeProfiles profiles;
        for (const IniFile& file : c.files)
            profiles.Add(kRoot + "\\" + file.path, ExpandRoot(file.text, kRoot));
        const Outcome outcome = Find(profiles, kRoot + "\\" + kCaseProgramFolder);
        EXPECT_EQ(outcome.path, ExpandRoot(c.expected, kRoot));
        EXPECT_EQ(outcome.reports.size(), c.reports);
        for (const std::string& report : outcome.reports)
            EXPECT_EQ(report.rfind("[Kordo_Error] ", 0), 0u) << report;
        for (const auto& read : profiles.reads)
            EXPECT_LE(read.second, 4) << read.first; // no file is read over and over
    }
}

TEST(LibraryPath, RedirectLoopIsReportedWithTheFileThatClosesIt)
{
    FakeProfiles profiles;
    profiles.Add("C:\\p\\Kordo.ini", "[Redirect]\nPath=C:\\q\\k.ini\n");
    profiles.Add("C:\\q\\k.ini", "[Redirect]\nPath=C:\\P\\KORDO.ini\n[361]\nDLL=KorFact.dll\n");
    const Outcome outcome = Find(profiles, "C:\\p");
    EXPECT_EQ(outcome.path, "C:\\q\\KorFact.dll");
    ASSERT_EQ(outcome.reports.size(), 1u);
    EXPECT_EQ(outcome.reports[0], "[Kordo_Error] Redirect in C:\\q\\k.ini leads back to "
                                  "C:\\P\\KORDO.ini; the redirect is ignored.\n");
}

TEST(LibraryPath, RedirectChainStopsAtSixteenFiles)
{
    FakeProfiles profiles;
    for (int n = 0; n < 40; ++n)
        profiles.Add("C:\\c" + std::to_string(n) + "\\Kordo.ini",
                     "[Redirect]\nPath=C:\\c" + std::to_string(n + 1) + "\\Kordo.ini\n");
    const Outcome outcome = Find(profiles, "C:\\c0");
    EXPECT_EQ(outcome.path, "C:\\c15\\");
    ASSERT_EQ(outcome.reports.size(), 1u);
    EXPECT_EQ(outcome.reports[0],
              "[Kordo_Error] Redirect in C:\\c15\\Kordo.ini goes past 16 files; the redirect is "
              "ignored.\n");
    EXPECT_EQ(profiles.reads.count("C:\\c16\\Kordo.ini"), 0u);

    // Sixteen files in all is still a normal chain.
    profiles.Add("C:\\c15\\Kordo.ini", "[361]\nDLL=KorFact.dll\n");
    const Outcome sixteen = Find(profiles, "C:\\c0");
    EXPECT_EQ(sixteen.path, "C:\\c15\\KorFact.dll");
    EXPECT_TRUE(sixteen.reports.empty());
}

TEST(LibraryPath, ValuesAreReadWithTheirBufferSizes)
{
    // Redirect and DllPath take at most 259 characters, DLL at most 1023.
    FakeProfiles profiles;
    const std::string longDirectory = "D:\\" + std::string(300, 'd');
    profiles.Add("C:\\p\\Kordo.ini", "[Redirect]\nPath=" + longDirectory + "\\x.ini\n");
    // Cut to 259 characters the target still has its first folder; whole it would not fit.
    EXPECT_EQ(Find(profiles, "C:\\p").path, "D:\\");
    profiles.Add("C:\\p\\Kordo.ini", "[361]\nDLL=C:\\" + std::string(2000, 'n') + "\n");
    EXPECT_EQ(Find(profiles, "C:\\p").path, ""); // 1023 characters do not fit a path
}

TEST(LibraryPath, JoinsThatDoNotFitAreSkipped)
{
    const std::string dir200 = "C:\\" + std::string(197, 'p'); // 200 characters
    FakeProfiles profiles;
    // The relative redirect would pass 259 characters: the file that names it stays final.
    profiles.Add(dir200 + "\\Kordo.ini",
                 "[Redirect]\nPath=" + std::string(60, 'r') + ".ini\n[361]\nDLL=a.dll\n");
    EXPECT_EQ(Find(profiles, dir200).path, dir200 + "\\a.dll");

    // DllPath joined to the name would not fit: the name stays as it was.
    profiles.Add(dir200 + "\\Kordo.ini",
                 "[361]\nDLL=b.dll\n[DefaultValue]\nDllPath=D:\\" + std::string(255, 'u') + "\n");
    EXPECT_EQ(Find(profiles, dir200).path, dir200 + "\\b.dll");

    // The final join would not fit: no path at all.
    profiles.Add(dir200 + "\\Kordo.ini", "[361]\nDLL=" + std::string(58, 'c') + "\n");
    EXPECT_EQ(Find(profiles, dir200).path, dir200 + "\\" + std::string(58, 'c'));
    profiles.Add(dir200 + "\\Kordo.ini", "[361]\nDLL=" + std::string(59, 'c') + "\n");
    EXPECT_EQ(Find(profiles, dir200).path, "");

    // The configuration file's own name would not fit: it stays empty, and so reads as nothing.
    const std::string dir255 = "C:\\" + std::string(252, 'p');
    profiles.Add(dir255 + "\\Kordo.ini", "[361]\nDLL=KorFact.dll\n");
    EXPECT_EQ(Find(profiles, dir255).path, "\\");
}

TEST(LibraryPath, AbsoluteAndDirectoryPart)
{
    EXPECT_TRUE(Kordo::IsAbsolutePath("C:\\x"));
    EXPECT_TRUE(Kordo::IsAbsolutePath("x:y"));
    EXPECT_TRUE(Kordo::IsAbsolutePath("\\\\server\\share"));
    EXPECT_TRUE(Kordo::IsAbsolutePath("\\x"));
    EXPECT_FALSE(Kordo::IsAbsolutePath("/x/y"));
    EXPECT_FALSE(Kordo::IsAbsolutePath("lib\\x"));
    EXPECT_FALSE(Kordo::IsAbsolutePath(""));

    EXPECT_EQ(Kordo::DirectoryPart("C:\\a\\b.ini"), "C:\\a\\");
    EXPECT_EQ(Kordo::DirectoryPart("C:/a\\b/c.ini"), "C:/a\\"); // the last backslash wins
    EXPECT_EQ(Kordo::DirectoryPart("C:/a/b.ini"), "C:/a/");
    EXPECT_EQ(Kordo::DirectoryPart("folder"), "folder\\");
    EXPECT_EQ(Kordo::DirectoryPart(""), "\\");
}

TEST(ErrorReport, FormatsIntoAThousandAndTwentyFourBytes)
{
    EXPECT_EQ(Kordo::FormatErrorReport(
                  "[Kordo_Error] CreateComponent(ComponentId=%u) return null.\n", 361u),
              "[Kordo_Error] CreateComponent(ComponentId=361) return null.\n");
    const std::string longText(5000, 'x');
    const std::string cut = Kordo::FormatErrorReport("<%s>", longText.c_str());
    EXPECT_EQ(cut.size(), 1023u);
    EXPECT_EQ(cut, "<" + std::string(1022, 'x'));
    EXPECT_EQ(Kordo::FormatErrorReport("%s", std::string(1023, 'y').c_str()).size(), 1023u);
}
