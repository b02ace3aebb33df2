#pragma once

// Sets gShowInfo, then probes and evaluates the machine, and shows the "Probe Information" box.
void ShowProbeInformation();
