#include "probe/probe_summary.hpp"

#include <boost/format.hpp>

std::string FormatProbeSummary(const ProbeTexts& t)
{
    return (boost::format("MAC:\t%s\n\nMSVC:\t%s\n\nDirectX:\t%s\n\nResolution:\t%s\n\nOS:\t%s\n\n"
                          "CPU:\t%s\n\nRAM:\t%s\n\nGPU:\t%s\n\nAdapter:\t%s\n\nHost:\t%s\n\n"
                          "Times:\t%d\n\n") %
            t.mac % t.msvc % t.directX % t.resolution % t.os % t.cpu % t.ram % t.gpu % t.adapter %
            t.host % t.times)
        .str();
}
