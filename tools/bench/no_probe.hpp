#pragma once
// Benchmarks evaluate supplied records only; a probe run there would be a fault.
#include "probe/probe_run.hpp"

#include <cstdio>
#include <cstdlib>

std::string GetProbeSummary()
{
    std::fprintf(stderr, "benchmark: unexpected machine probe\n");
    std::abort();
}
