#include "probe/run_counter.hpp"

#include <boost/interprocess/managed_shared_memory.hpp>

#include <cstdio>

const RunCounterPlace& ProgramCounterPlace()
{
    // 256 bytes hold the 32-bit program's segment header and "count".
    static const RunCounterPlace place{"82CC3F0A-27D6-48F6-B1DC-F89A2206A2C8", 256,
                                       "9DE37C60-D575-434D-A4DE-E97623430A89.tmp",
                                       "A4EC747529BA4532BD5466F659CFC9CE"};
    return place;
}

std::uint32_t SegmentCount(const RunCounterPlace& place, bool increment)
{
    namespace ipc = boost::interprocess;
    ipc::managed_shared_memory segment(ipc::open_or_create, place.segment.c_str(),
                                       place.segmentSize);
    std::uint32_t* count = segment.find<std::uint32_t>("count").first;
    if (!count)
        count = segment.construct<std::uint32_t>("count")(0u);
    if (increment)
        ++*count;
    return *count;
}

unsigned char BumpParticipationByte(const std::string& path)
{
    unsigned counter = 0;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        const int byte = std::fgetc(in);
        if (byte != EOF)
            counter = static_cast<unsigned>(byte);
        std::fclose(in);
    }
    const auto raised = static_cast<unsigned char>(counter + 1);
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fputc(raised, out);
        std::fclose(out);
    }
    return raised;
}
