// The shared memory block of a process, opened by name from inside the process as other code in
// it would. Making the block is once-per-process start-up work, so it runs in a fresh child.
#include "framework/default_setting.hpp"
#include "framework/shared_memory_block.hpp"
#include "tests/win/framework_child_run.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string BlockName()
{
    return std::to_string(GetCurrentProcessId()) + "VXM_Share_Mem";
}

// The four bytes of the block, read through a mapping of our own.
std::uint32_t ReadBlock()
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, BlockName().c_str());
    if (!mapping)
        return 0xFFFFFFFF;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4);
    std::uint32_t value = 0xFFFFFFFF;
    if (view) {
        std::memcpy(&value, view, 4);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return value;
}

} // namespace

TEST(SharedMemoryChild, DISABLED_PublishesTheSettingsAddressUnderTheProcessId)
{
    // A block of that name made before is taken over and overwritten.
    HANDLE earlier = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                        BlockName().c_str());
    ASSERT_NE(earlier, nullptr) << GetLastError();
    void* earlierView = MapViewOfFile(earlier, FILE_MAP_ALL_ACCESS, 0, 0, 4);
    ASSERT_NE(earlierView, nullptr);
    const std::uint32_t stale = 0xDEADBEEF;
    std::memcpy(earlierView, &stale, 4);
    UnmapViewOfFile(earlierView);

    ASSERT_EQ(Kordo::gDefaultSetting, nullptr);
    Kordo::CreateSharedMemoryBlock();
    ASSERT_NE(Kordo::gDefaultSetting, nullptr);
    const std::uint32_t published = ReadBlock();
    EXPECT_EQ(published, reinterpret_cast<std::uintptr_t>(Kordo::gDefaultSetting));

    // What other code does with it: take the address as the settings interface.
    auto* setting = reinterpret_cast<Kordo::ISetting*>(static_cast<std::uintptr_t>(published));
    Kordo::IAudioPlayer* audio = setting->GetAudioPlayer();
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(setting->GetAudioPlayer(), audio);

    CloseHandle(earlier);
    Kordo::ReleaseSharedMemoryBlock();
    EXPECT_EQ(Kordo::gDefaultSetting, nullptr);
    // With its last handle closed the block is gone.
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, BlockName().c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    Kordo::ReleaseSharedMemoryBlock(); // again at exit: nothing left to do
}

TEST(SharedMemoryBlock, PublishesTheSettingsAddressUnderTheProcessId)
{
    ScratchFolder folder;
    const ChildRun run = RunChildTests(ThisProgram(), "SharedMemoryChild.*", folder);
    EXPECT_EQ(run.exitCode, 0u) << run.output;
}
