#include "tests/win/probe_helper_process.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

std::string OwnPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// This process's environment with the additions, as a block for CreateProcess.
std::string EnvironmentBlock(const HelperProcess::Environment& additions)
{
    std::string block;
    char* own = GetEnvironmentStringsA();
    for (const char* entry = own; *entry; entry += std::char_traits<char>::length(entry) + 1)
        block.append(entry).push_back('\0');
    FreeEnvironmentStringsA(own);
    for (const auto& [name, value] : additions)
        block.append(name + "=" + value).push_back('\0');
    return block + '\0';
}

} // namespace

HelperProcess::HelperProcess(const std::string& test, const Environment& environment,
                             bool withoutDisplay)
    : withoutDisplay_(withoutDisplay), reportPath_(ScratchPath("vxh"))
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&outputRead_, &outputWrite, &inherit, 0))
        throw std::runtime_error("cannot create a pipe");
    SetHandleInformation(outputRead_, HANDLE_FLAG_INHERIT, 0);

    const std::size_t dot = test.find('.');
    std::string line = "\"" + OwnPath() +
                       "\" --gtest_also_run_disabled_tests --gtest_filter=" + test.substr(0, dot) +
                       ".DISABLED_" + test.substr(dot + 1) +
                       " \"--gtest_output=xml:" + reportPath_ + "\"";
    // Wine starts a Unix program with a Unix environment built from the block given here, and
    // the Wine process that program starts finds no DISPLAY in it. Such a program's output and
    // end do not reach this side, so its report file tells when it is done.
    if (withoutDisplay)
        line = "Z:\\usr\\bin\\env -u DISPLAY PATH=/usr/bin:/bin wine " + line;
    std::string block = EnvironmentBlock(environment);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, &block[0],
                                        nullptr, &startup, &info_);
    CloseHandle(outputWrite);
    if (!started) {
        CloseHandle(outputRead_);
        throw std::runtime_error("cannot start " + line);
    }
}

HelperProcess::~HelperProcess()
{
    if (!withoutDisplay_ && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info_.hProcess, 1);
    CloseHandle(outputRead_);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    DeleteFileA(reportPath_.c_str());
}

bool HelperProcess::Finish(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    if (withoutDisplay_) {
        while (FileContent(reportPath_).find("</testsuites>") == std::string::npos) {
            if (GetTickCount() - start > milliseconds)
                return false;
            Sleep(50);
        }
        return true;
    }
    // Read while the helper runs, so a full pipe never stalls it; the pipe breaks at its end.
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(outputRead_, nullptr, 0, nullptr, &available, nullptr))
            break;
        if (available) {
            std::string chunk(available, '\0');
            DWORD read = 0;
            ReadFile(outputRead_, &chunk[0], available, &read, nullptr);
            output_.append(chunk, 0, read);
        } else if (GetTickCount() - start > milliseconds) {
            return false;
        } else {
            Sleep(10);
        }
    }
    return WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0;
}

bool HelperProcess::Passed(DWORD milliseconds)
{
    if (!Finish(milliseconds))
        return false;
    const std::string report = FileContent(reportPath_);
    return report.find("<testsuites tests=\"1\" failures=\"0\"") != std::string::npos &&
           report.find("errors=\"0\"") != std::string::npos;
}

std::string UniqueTag()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(now.QuadPart);
}

std::string EnvironmentValue(const char* name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length < sizeof value ? std::string(value, length) : "";
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
