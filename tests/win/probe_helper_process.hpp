#pragma once
// Runs one disabled helper test of this test program in a process of its own, for what needs a
// fresh process, several processes at once, or no display.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

class HelperProcess {
  public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    // Starts the helper test `Suite.DISABLED_Name`, named "Suite.Name", with these environment
    // variables added. With withoutDisplay the helper runs as a new Wine process whose Unix
    // environment has no DISPLAY, so it cannot reach any X server.
    explicit HelperProcess(const std::string& test, const Environment& environment = {},
                           bool withoutDisplay = false);
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Waits for the helper to end; false after the time. Output() then holds what a helper
    // with a display wrote.
    bool Finish(DWORD milliseconds = 60000);
    // Finishes and tells whether the helper's test ran and passed, from its test report.
    bool Passed(DWORD milliseconds = 60000);
    const std::string& Output() const { return output_; }

  private:
    bool withoutDisplay_;
    std::string reportPath_;
    PROCESS_INFORMATION info_{};
    HANDLE outputRead_ = nullptr;
    std::string output_;
};

// Text that no other test run on this Wine server uses at the same time: this tree's tests run
// from several build folders at once.
std::string UniqueTag();

// The value of an environment variable of this process, or empty text.
std::string EnvironmentValue(const char* name);

// A fresh path in the temporary folder; nothing exists there yet.
std::string ScratchPath(const char* prefix);

// The whole content of a file, or empty text.
std::string FileContent(const std::string& path);
