// The machine probe is platform code; core tests stand in for it with a recorded fake that
// counts its runs and writes the keys a probe run would.
#include "tests/core/fake_probe_run.hpp"

#include "probe/machine_info.hpp"
#include "probe/probe_run.hpp"

int gFakeProbeRuns = 0;

std::string GetProbeSummary()
{
    ++gFakeProbeRuns;
    InfoRecord& info = MachineInfo();
    info["CPU"] = "Intel Core i7 995X @ 3.60GHz";
    info["GPU"] = "NVIDIA GeForce GTX 690";
    info["RAM Bytes"] = "8589934592";
    info["LogicCoreCount"] = "12";
    return "fake summary\n";
}
