#pragma once
#include <string>

// Rates every matching line of a tab-separated probe log into "id<TAB>level<TAB>gain" lines
// (CR LF, flushed per line). False when the input cannot be opened or read, or the output
// cannot be created or written; lines written until then stay.
bool EvaluateProbeLog(const std::string& inputPath, const std::string& outputPath);
