// The stateless default services: whole-file reading, the C heap, the silent audio player.
#include "framework/default_alloc.hpp"
#include "tests/core/temp_path.hpp"
#include "framework/default_audio_player.hpp"
#include "framework/default_file_sys.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

class FileSys : public ::testing::Test {
  protected:
    void SetUp() override
    {
        path = ProcessTempPath("kordo_file_sys_") +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
        std::ofstream(path, std::ios::binary) << std::string("layout\0\r\nbytes", 14);
    }
    void TearDown() override { std::remove(path.c_str()); }
    std::string path;
    Kordo::CDefaultFileSys files;
};

} // namespace

TEST_F(FileSys, ReadsTheWholeFileWhenTheBufferHoldsIt)
{
    const Kordo::FileHandle file = files.Open(path.c_str());
    ASSERT_NE(file, Kordo::kNoFile);
    EXPECT_EQ(files.GetSize(file), 14);
    char buffer[20];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(files.Read(file, buffer, 14), 14);
    EXPECT_EQ(std::string(buffer, 15), std::string("layout\0\r\nbytes#", 15));
    EXPECT_EQ(files.Read(file, buffer, 20), 14); // from the start again
    EXPECT_EQ(files.GetSize(file), 14);
    files.Close(file);
}

TEST_F(FileSys, SmallerBufferIsLeftUntouched)
{
    const Kordo::FileHandle file = files.Open(path.c_str());
    char buffer[13];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(files.Read(file, buffer, 13), 0);
    EXPECT_EQ(std::string(buffer, 13), std::string(13, '#'));
    EXPECT_EQ(files.Read(file, nullptr, 100), 0);
    files.Close(file);
}

TEST_F(FileSys, InvalidHandlesAndPaths)
{
    EXPECT_EQ(files.Open(nullptr), Kordo::kNoFile);
    EXPECT_EQ(files.Open((path + ".missing").c_str()), Kordo::kNoFile);
    char buffer[32] = {};
    EXPECT_EQ(files.Read(Kordo::kNoFile, buffer, 32), 0);
    EXPECT_EQ(files.Read(0, buffer, 32), 0);
    EXPECT_EQ(files.GetSize(Kordo::kNoFile), 0);
    EXPECT_EQ(files.GetSize(0), 0);
    files.Close(Kordo::kNoFile);
    files.Close(0);
}

TEST_F(FileSys, EmptyFileReadsNothing)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc);
    const Kordo::FileHandle file = files.Open(path.c_str());
    ASSERT_NE(file, Kordo::kNoFile);
    EXPECT_EQ(files.GetSize(file), 0);
    char buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(files.Read(file, buffer, 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "####");
    files.Close(file);
}

TEST(DefaultAlloc, UsesTheCHeap)
{
    Kordo::CDefaultAllocImpl alloc;
    Kordo::IAlloc& heap = alloc;
    std::size_t size = 4096;
    void* block = heap.Alloc(size);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(size, 4096u);
    std::memset(block, 0xA5, size); // the whole block is usable
    heap.Free(block, 0);            // the size is not needed
    heap.Free(nullptr, 0);
}

TEST(DefaultAudioPlayer, PlaysNothing)
{
    Kordo::CDefaultAudioPlayer player;
    Kordo::IAudioPlayer& audio = player;
    EXPECT_EQ(audio.Play(7), 0);
    EXPECT_EQ(audio.IsPlaying(7), 0);
    audio.Stop(7);
    EXPECT_EQ(audio.IsPlaying(7), 0);
}
