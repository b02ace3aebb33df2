#pragma once
// Number texts shared by the probes: classic locale, no separators.
#include <string>

// Bytes already rounded to a 32-bit float, scaled to MiB in 32-bit float, as "%.2f MB".
std::string MegabyteText(float bytes);
