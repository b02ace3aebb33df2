// The real program publishes its settings address in "<its process id>VXM_Share_Mem" before
// the entry runs; each process has its own block.
#include "tests/e2e/program_driver.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kTimeout = 30000;

// The block's four bytes, or nothing when no such block is open anywhere.
bool ReadBlock(DWORD pid, std::uint32_t& value)
{
    const std::string name = std::to_string(pid) + "VXM_Share_Mem";
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
    if (!mapping)
        return false;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4);
    if (view) {
        std::memcpy(&value, view, 4);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view != nullptr;
}

// The evaluation box keeps the program waiting while its block is read.
const std::string kWaitingRun =
    "--eval " + Quote("Intel Core i7 995X @ 3.60GHz|NVIDIA GeForce GTX 690|8");

} // namespace

TEST(SharedMemoryBlock, EachRunningProgramPublishesItsOwnBlock)
{
    ProgramRun first(kWaitingRun);
    ProgramRun second(kWaitingRun);
    HWND firstBox = first.WaitForWindow("Evaluation", kTimeout);
    HWND secondBox = second.WaitForWindow("Evaluation", kTimeout);
    ASSERT_NE(firstBox, nullptr);
    ASSERT_NE(secondBox, nullptr);

    std::uint32_t firstAddress = 0;
    std::uint32_t secondAddress = 0;
    EXPECT_TRUE(ReadBlock(first.Pid(), firstAddress));
    EXPECT_TRUE(ReadBlock(second.Pid(), secondAddress));
    EXPECT_NE(firstAddress, 0u);
    EXPECT_NE(secondAddress, 0u);
    std::uint32_t own = 0;
    EXPECT_FALSE(ReadBlock(GetCurrentProcessId(), own)); // only the program makes one

    CloseMessageBox(firstBox);
    CloseMessageBox(secondBox);
    ASSERT_TRUE(first.Wait(kTimeout));
    ASSERT_TRUE(second.Wait(kTimeout));
    EXPECT_FALSE(ReadBlock(first.Pid(), firstAddress)); // gone with the process
}
