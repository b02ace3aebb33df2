#pragma once
// Level evaluation: processor, adapter and memory bands -> level 1 (best) to 5, and the gain.
#include <map>
#include <string>

// Evaluates the record's "CPU", "GPU" and "RAM Bytes" into "LowDevices", "OutDevices", "Level",
// "GainExtra" and "Gain". Probes the machine first when the record is empty.
void EvaluateLevel();

// Interpolates the gain of level index E (level - 1) from the adapter and processor scores.
int ComputeGainExtra(int levelIndex, int gpuScore, int cpuScore);

// The random draw behind the gain of levels 4 and 5 (a number from 0 to RAND_MAX); the C
// runtime's rand() unless a test sets another. Null restores rand().
void SetGainRandomSourceForTesting(int (*source)());

// Level text -> the level code the report carries; filled at start-up.
const std::map<std::string, std::string>& ReportedLevelMap();
