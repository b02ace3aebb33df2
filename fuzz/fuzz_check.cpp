#include "fuzz/fuzz_check.hpp"

#include "eval/score_table.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <pthread.h>

void FuzzCheck(bool holds, const char* property, const std::string& detail)
{
    if (holds)
        return;
    std::fprintf(stderr, "==== property broken: %s\n%s\n", property, detail.c_str());
    std::abort();
}

namespace {

std::string ReadDataFile(const char* name)
{
    std::ifstream file(std::string(VXM_RESOURCES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    FuzzCheck(!text.str().empty(), "shipped data file readable", name);
    return text.str();
}

} // namespace

void LoadShippedScoreTables()
{
    static const bool loaded = [] {
        GpuScoreTable() = ParseScoreText(ReadDataFile("gpu.txt"));
        CpuScoreTable() = ParseScoreText(ReadDataFile("cpu.txt"));
        return true;
    }();
    (void)loaded;
}

void RunOnProductStack(const std::function<void()>& work)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 1 << 20);
    pthread_t thread;
    const auto run = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    FuzzCheck(
        pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)) == 0,
        "a thread to parse on");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}
