#pragma once

// Sets gShowInfo, then probes and evaluates the machine, and shows the "Probe Information" box.
void ShowProbeInformation();

// Set in dialog mode with show_info: shader compile failures and network errors are shown.
extern bool gShowInfo;
