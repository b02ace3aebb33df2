#pragma once
// Kordo.ini situations and the library path each must give. The same table runs natively over
// an imitation of GetPrivateProfileStringA and under Wine over real files and the real call, so
// the imitation is checked against the real thing.
#include <string>
#include <vector>

struct IniFile {
    std::string path; // below the case's root folder
    std::string text; // "{root}" stands for the root folder
};

struct LibraryPathCase {
    std::string name;
    std::vector<IniFile> files;
    std::string expected; // "{root}" stands for the root folder
    std::size_t reports;  // problem reports expected
};

// Every case runs the program from {root}\prog.
inline const char* const kCaseProgramFolder = "prog";

inline std::string ExpandRoot(std::string text, const std::string& root)
{
    const std::string mark = "{root}";
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
        text.replace(at, mark.size(), root);
        at += root.size();
    }
    return text;
}

inline std::vector<LibraryPathCase> LibraryPathCases()
{
    const std::string ini = "prog\\Kordo.ini";
    std::vector<LibraryPathCase> cases = {
        {"NoKordoIni", {}, "{root}\\prog\\", 0},
        {"NoDllKey", {{ini, "[361]\r\nNotUseDefaultDllPath=0\r\n"}}, "{root}\\prog\\", 0},
        {"DllBesideTheFile",
         {{ini, "[361]\r\nDLL=KorFact.dll\r\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"DllPathRelative",
         {{ini, "[361]\r\nDLL=KorFact.dll\r\n[DefaultValue]\r\nDllPath=lib\r\n"}},
         "{root}\\prog\\lib\\KorFact.dll",
         0},
        {"DllPathAbsolute",
         {{ini, "[361]\r\nDLL=KorFact.dll\r\n\r\n[DefaultValue]\r\nDllPath=D:\\ui\r\n"}},
         "D:\\ui\\KorFact.dll",
         0},
        {"NotUseDefaultDllPath",
         {{ini,
           "[DefaultValue]\nDllPath=D:\\ui\n[361]\nDLL=KorFact.dll\nNotUseDefaultDllPath=1\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"NotUseDefaultDllPathFirstCharacterCounts",
         {{ini, "[DefaultValue]\nDllPath=D:\\ui\n[361]\nDLL=KorFact.dll\n"
                "NotUseDefaultDllPath=\" \t10 \"\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"NotUseDefaultDllPathOtherValue",
         {{ini,
           "[DefaultValue]\nDllPath=D:\\ui\n[361]\nDLL=KorFact.dll\nNotUseDefaultDllPath=2\n"}},
         "D:\\ui\\KorFact.dll",
         0},
        {"SectionsAndKeysIgnoreCase",
         {{ini, "[defaultvalue]\ndllpath=lib\n[361]\ndll=KorFact.dll\n"}},
         "{root}\\prog\\lib\\KorFact.dll",
         0},
        {"CommentedKeyIsNoKey",
         {{ini, "[361]\n;DLL=Other.dll\nDLL=KorFact.dll\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"BlanksAroundValueGo",
         {{ini, "[361]\r\nDLL =  \t my ui\\KorFact.dll \t \r\n"}},
         "{root}\\prog\\my ui\\KorFact.dll",
         0},
        {"QuotedBlanksAroundDllGoToo",
         {{ini, "[361]\r\nDLL=\" \t my ui\\KorFact.dll\t \"\r\n"}},
         "{root}\\prog\\my ui\\KorFact.dll",
         0},
        {"QuotedDllPathKeepsItsBlanks",
         {{ini, "[361]\nDLL=KorFact.dll\n[DefaultValue]\nDllPath=\" lib \"\n"}},
         "{root}\\prog\\ lib \\KorFact.dll",
         0},
        {"BlankDllPathIsNoDllPath",
         {{ini, "[361]\nDLL=KorFact.dll\n[DefaultValue]\nDllPath=\" \t \"\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"AbsoluteDll",
         {{ini, "[361]\nDLL=C:\\Program Files\\Kordo\\KorFact.dll\n[DefaultValue]\nDllPath=lib\n"}},
         "C:\\Program Files\\Kordo\\KorFact.dll",
         0},
        {"DllFromTheRootOfTheDrive",
         {{ini, "[361]\nDLL=\\kordo\\KorFact.dll\n"}},
         "\\kordo\\KorFact.dll",
         0},
        {"AbsoluteRedirect",
         {{ini, "[Redirect]\nPath={root}\\other\\b.ini\n[361]\nDLL=Wrong.dll\n"},
          {"other\\b.ini", "[361]\nDLL=KorFact.dll\n[DefaultValue]\nDllPath=lib\n"}},
         "{root}\\other\\lib\\KorFact.dll",
         0},
        {"AbsoluteRedirectsAreFollowedAgain",
         {{ini, "[Redirect]\nPath={root}\\other\\b.ini\n"},
          {"other\\b.ini", "[Redirect]\nPath={root}\\third\\c.ini\n[361]\nDLL=Wrong.dll\n"},
          {"third\\c.ini", "[361]\nDLL=KorFact.dll\n"}},
         "{root}\\third\\KorFact.dll",
         0},
        {"RelativeRedirectIsNotReadForRedirects",
         {{ini, "[Redirect]\nPath=conf\\k.ini\n"},
          {"prog\\conf\\k.ini", "[Redirect]\nPath={root}\\other\\b.ini\n[361]\nDLL=KorFact.dll\n"},
          {"other\\b.ini", "[361]\nDLL=Wrong.dll\n"}},
         "{root}\\prog\\conf\\KorFact.dll",
         0},
        {"RelativeRedirectAfterAbsoluteOne",
         {{ini, "[Redirect]\nPath={root}\\other\\b.ini\n"},
          {"other\\b.ini", "[Redirect]\nPath=sub\\d.ini\n"},
          {"other\\sub\\d.ini", "[361]\nDLL=KorFact.dll\n"}},
         "{root}\\other\\sub\\KorFact.dll",
         0},
        {"BlankRedirectIsNoRedirect",
         {{ini, "[Redirect]\nPath=\" \t \"\n[361]\nDLL=KorFact.dll\n"}},
         "{root}\\prog\\KorFact.dll",
         0},
        {"RedirectToAMissingFile",
         {{ini, "[Redirect]\nPath={root}\\nowhere\\x.ini\n"}},
         "{root}\\nowhere\\",
         0},
        {"RedirectToItself",
         {{ini, "[Redirect]\nPath={root}\\PROG\\kordo.INI\n[361]\nDLL=a.dll\n"}},
         "{root}\\prog\\a.dll",
         1},
        {"RedirectLoop",
         {{ini, "[Redirect]\nPath={root}\\other\\b.ini\n[361]\nDLL=a.dll\n"},
          {"other\\b.ini", "[Redirect]\nPath={root}\\third\\c.ini\n[361]\nDLL=b.dll\n"},
          {"third\\c.ini", "[Redirect]\nPath={root}\\other\\b.ini\n[361]\nDLL=c.dll\n"}},
         "{root}\\third\\c.dll",
         1},
    };
    // Twenty files in a row: the sixteenth read is final.
    LibraryPathCase chain{"LongRedirectChain", {}, "{root}\\c15\\15.dll", 1};
    for (int n = 0; n < 20; ++n) {
        const std::string file = n == 0 ? ini : "c" + std::to_string(n) + "\\k.ini";
        chain.files.push_back({file, "[Redirect]\nPath={root}\\c" + std::to_string(n + 1) +
                                         "\\k.ini\n[361]\nDLL=" + std::to_string(n) + ".dll\n"});
    }
    cases.push_back(chain);
    return cases;
}
