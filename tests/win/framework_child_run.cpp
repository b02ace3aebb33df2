#include "tests/win/framework_child_run.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr DWORD kChildTimeout = 60000;

std::string DebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    std::string text(info.nDebugStringLength, '\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, &text[0], text.size(), &read);
    return text.substr(0, text.find('\0'));
}

// Serves the child's debug events until it ends.
void Debug(const PROCESS_INFORMATION& child, ChildRun& run)
{
    for (;;) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, kChildTimeout)) {
            TerminateProcess(child.hProcess, 1);
            ADD_FAILURE() << "the child did not end";
            return;
        }
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            run.reports.push_back(DebugString(child.hProcess, event.u.DebugString));
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case EXIT_PROCESS_DEBUG_EVENT:
            run.exitCode = event.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
            return;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
}

} // namespace

std::string ThisProgram()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

ChildRun RunAsDebugger(std::string line, const ScratchFolder& folder)
{
    const std::string outputPath = folder.Path() + "\\child-output.txt";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION child{};
    const BOOL started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS, nullptr,
                       folder.Path().c_str(), &startup, &child);
    CloseHandle(output);
    if (!started)
        throw std::runtime_error("cannot start " + line);
    ChildRun run;
    Debug(child, run);
    WaitForSingleObject(child.hProcess, kChildTimeout);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    std::ifstream printed(outputPath);
    run.output.assign(std::istreambuf_iterator<char>(printed), {});
    return run;
}

ChildRun RunChildTests(const std::string& program, const std::string& filter,
                       const ScratchFolder& folder)
{
    ChildRun run = RunAsDebugger(
        "\"" + program + "\" --gtest_also_run_disabled_tests --gtest_filter=" + filter, folder);
    if (run.output.find("[ RUN      ] ") == std::string::npos)
        ADD_FAILURE() << "the child ran no test:\n" << run.output;
    return run;
}
