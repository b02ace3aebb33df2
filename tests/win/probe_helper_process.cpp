#include "tests/win/probe_helper_process.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>

HelperProcess::HelperProcess(const std::string& test, bool withoutDisplay,
                             const std::string& disabledLibraries)
    : mViaUnix(withoutDisplay || !disabledLibraries.empty()), mReportPath(ScratchPath("vxh"))
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::size_t dot = test.find('.');
    std::string line = std::string("\"") + self +
                       "\" --gtest_also_run_disabled_tests --gtest_filter=" + test.substr(0, dot) +
                       ".DISABLED_" + test.substr(dot + 1) +
                       " \"--gtest_output=xml:" + mReportPath + "\"";
    // Wine starts a Unix program with a Unix environment built from the Windows one, and the
    // Wine process that program starts finds no DISPLAY there, and the library overrides Wine
    // reads only from the Unix environment. The end of such a program does not reach this
    // side, so the helper's report file tells when it is done.
    if (mViaUnix)
        line = std::string("Z:\\usr\\bin\\env ") + (withoutDisplay ? "-u DISPLAY " : "") +
               (disabledLibraries.empty() ? "" : "WINEDLLOVERRIDES=" + disabledLibraries + "=d ") +
               "PATH=/usr/bin:/bin wine " + line;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &mInfo))
        throw std::runtime_error("cannot start " + line);
}

HelperProcess::~HelperProcess()
{
    if (!mViaUnix && WaitForSingleObject(mInfo.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(mInfo.hProcess, 1);
    CloseHandle(mInfo.hThread);
    CloseHandle(mInfo.hProcess);
    DeleteFileA(mReportPath.c_str());
}

bool HelperProcess::Finish(DWORD milliseconds)
{
    if (!mViaUnix)
        return WaitForSingleObject(mInfo.hProcess, milliseconds) == WAIT_OBJECT_0;
    const DWORD start = GetTickCount();
    while (FileContent(mReportPath).find("</testsuites>") == std::string::npos) {
        if (GetTickCount() - start > milliseconds)
            return false;
        Sleep(50);
    }
    return true;
}

bool HelperProcess::Passed(DWORD milliseconds)
{
    const std::string report = Finish(milliseconds) ? FileContent(mReportPath) : "";
    const std::string totals = report.substr(0, report.find("<testsuite "));
    return totals.find(" tests=\"1\" failures=\"0\" ") != std::string::npos &&
           totals.find(" errors=\"0\" ") != std::string::npos;
}

std::string UniqueTag()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(now.QuadPart);
}

std::string ScratchPath(const char* prefix)
{
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof folder, folder);
    char path[MAX_PATH] = {};
    GetTempFileNameA(folder, prefix, 0, path); // creates the file to claim the name
    DeleteFileA(path);
    return path;
}

std::string FileContent(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string EnvironmentValue(const char* name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length < sizeof value ? std::string(value, length) : "";
}
