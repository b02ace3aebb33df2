#pragma once
// Runs one disabled helper test of this test program in a process of its own, for what needs a
// fresh process, several processes at once, or no display.
#include <windows.h>

#include <string>

class HelperProcess {
  public:
    // Starts the helper test `Suite.DISABLED_Name`, named "Suite.Name". It inherits this
    // process's environment. Without a display it runs as a new Wine process whose Unix
    // environment has no DISPLAY, so it cannot reach any X server. Libraries named in
    // disabledLibraries ("d3d9,ddraw") are missing for it, as on a machine without them.
    explicit HelperProcess(const std::string& test, bool withoutDisplay = false,
                           const std::string& disabledLibraries = "");
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // Waits for the helper to end; false after the time.
    bool Finish(DWORD milliseconds = 60000);
    // Finishes and tells from its test report whether the helper's test ran and passed.
    bool Passed(DWORD milliseconds = 60000);

  private:
    bool mViaUnix;
    std::string mReportPath;
    PROCESS_INFORMATION mInfo{};
};

// Text that no other test run on this Wine server uses at the same time: this tree's tests run
// from several build folders at once.
std::string UniqueTag();

// A fresh path in the temporary folder, and the whole content of a file (empty when missing).
std::string ScratchPath(const char* prefix);
std::string FileContent(const std::string& path);

// The value of an environment variable of this process, or empty text.
std::string EnvironmentValue(const char* name);
