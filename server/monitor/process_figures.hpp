#pragma once
// The process's own figures, as monitoring reads them: CPU time, memory, descriptors and start.
#include <optional>

struct ProcessFigures {
    // Each is empty when the system does not give it.
    std::optional<double> cpuSeconds; // user and system
    std::optional<double> residentBytes, virtualBytes;
    std::optional<double> openFds, maxFds;
    std::optional<double> startTime; // seconds since 1970
};

// Read from /proc and the process's limits at this moment.
ProcessFigures ReadProcessFigures();
