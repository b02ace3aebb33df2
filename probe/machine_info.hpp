#pragma once
// The process-wide record of machine facts: ordered byte-wise, index access inserts empty text.
#include <map>
#include <string>

using InfoRecord = std::map<std::string, std::string>;

// Created on first use, so it exists before any static initialiser can reach it.
InfoRecord& MachineInfo();
