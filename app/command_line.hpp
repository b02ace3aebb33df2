#pragma once
// The command line: four options, parsed with program_options; the first mode that applies wins.
#include <cstdint>
#include <string>
#include <vector>

enum class RunMode { SingleEvaluation, BatchEvaluation, Dialog };

struct CommandLine {
    RunMode mode = RunMode::Dialog;
    bool showInfo = false;
    bool mute = false;
    std::string eval;
    std::string evalFile;
};

// Parses the words of a command line (program name excluded). Throws a program_options error
// for an undeclared option, a missing value or a bool value that is not an accepted word.
CommandLine ParseCommandLine(const std::vector<std::string>& words);

// The three fields of an "eval" value: processor | adapter (may hold bars) | memory in GB.
struct EvalTriple {
    std::string cpu;
    std::string gpu;
    std::uint64_t ramBytes = 0;
};

// Splits at the first and the last bar. Throws std::invalid_argument when there are not two
// distinct bars or the memory field is no non-negative decimal number that fits.
EvalTriple SplitEvalValue(const std::string& value);
