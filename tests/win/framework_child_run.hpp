#pragma once
// Runs disabled tests of a copy of this test program in a fresh child process, as its debugger,
// so that the child starts with clean process-wide state and its debugger output can be read.
#include "tests/win/framework_scratch_folder.hpp"

#include <windows.h>

#include <string>
#include <vector>

struct ChildRun {
    DWORD exitCode = 0;
    std::string output;               // what the child printed
    std::vector<std::string> reports; // its debugger output, one entry per call
};

// The path of this test program.
std::string ThisProgram();

// Runs a command line in `folder` as its debugger; the folder also keeps what it prints.
ChildRun RunAsDebugger(std::string line, const ScratchFolder& folder);

// Runs `program` with the disabled tests `filter` in `folder`, which also keeps its output.
ChildRun RunChildTests(const std::string& program, const std::string& filter,
                       const ScratchFolder& folder);
