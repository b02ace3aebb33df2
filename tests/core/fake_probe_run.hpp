#pragma once
// Number of times the fake machine probe ran.
extern int gFakeProbeRuns;
