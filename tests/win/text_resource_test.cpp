// Embedded data files are read from the running image and verified there.
#include "common/text_resource.hpp"
#include "eval/score_table_resource.hpp"
#include "tests/core/score_table_entries.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string ShippedFile(const char* name)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "\\" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

} // namespace

TEST(TextResource, ReturnsTheEmbeddedBytesExactly)
{
    EXPECT_EQ(LoadTextResource(kTestShaderResource, "TestShader.txt", "TEXT"),
              ShippedFile("TestShader.txt"));
    EXPECT_EQ(LoadTextResource(kCpuTableResource, "cpu.txt", "TEXT"), ShippedFile("cpu.txt"));
    EXPECT_EQ(LoadTextResource(kGpuTableResource, "gpu.txt", "TEXT"), ShippedFile("gpu.txt"));
}

TEST(TextResource, UnknownResourceOutsideTheDigestTableIsEmpty)
{
    EXPECT_EQ(LoadTextResource(999, "unlisted.txt", "TEXT"), "");
}

TEST(TextResource, ScoreTablesAreParsedFromTheImage)
{
    LoadScoreTables();
    EXPECT_EQ(LookupScore(GpuScoreTable(), "NVIDIA GeForce GTX 690"), 14000);
    EXPECT_EQ(LookupScore(CpuScoreTable(), "Intel Core i7 995X @ 3.60GHz"), 10862);
    EXPECT_EQ(TableEntries(ParseScoreText(LoadTextResource(kGpuTableResource, "gpu.txt", "TEXT"))),
              TableEntries(GpuScoreTable()));
}
