#pragma once
// The score tables the server rates reports with: the program's own, compiled in, or an
// operator's newer ones read from a folder (cpu.txt and gpu.txt in the tables' own format) and
// replaced while the server runs. Readers take a snapshot; a replacement never changes one.
#include "eval/score_table.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct ServerTables {
    ScoreTable cpu, gpu;
    // Each class's lowest-scored entry that reaches each band (empty when none does), by band.
    std::string cheapestCpu[5], cheapestGpu[5];
    std::string digest;        // MD5 of the two files' digests: which tables rated a report
    std::string source;        // "built-in" or the folder read
    std::int64_t loadedAt = 0; // seconds since 1970
};

// A table file's text checked line by line: every line NAME:SCORE (a score that fits an int),
// ended by LF or CR LF, at least one. The reason it is refused ("gpu.txt line 7: ..."), or
// nothing when it is sound.
std::optional<std::string> ScoreTableFault(const std::string& fileName, const std::string& text);

// Both tables from their texts; throws std::runtime_error with the reason for a refused one.
std::shared_ptr<const ServerTables>
MakeServerTables(const std::string& cpuText, const std::string& gpuText, const std::string& source);

// cpu.txt and gpu.txt from the folder; throws std::runtime_error with the reason when either
// cannot be read (or is over 8 MiB) or is refused.
std::shared_ptr<const ServerTables> ReadServerTables(const std::string& folder);

// The tables compiled in from the program's resources.
std::shared_ptr<const ServerTables> ShippedServerTables();

// The tables in use (the compiled-in ones until others are installed). Safe from every thread.
std::shared_ptr<const ServerTables> CurrentServerTables();
void UseServerTables(std::shared_ptr<const ServerTables> tables);
