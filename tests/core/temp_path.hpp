#pragma once
// A path in the temporary folder that no other running test program uses: test runs of several
// checkouts may share one machine and its temporary folder.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <process.h>
#define VXM_TEST_PID _getpid()
#else
#include <unistd.h>
#define VXM_TEST_PID getpid()
#endif

inline std::string ProcessTempPath(const std::string& name)
{
    return ::testing::TempDir() + "vxm-" + std::to_string(VXM_TEST_PID) + "-" + name;
}
