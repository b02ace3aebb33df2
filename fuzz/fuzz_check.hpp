#pragma once
// Helpers every fuzz target shares.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// A broken property is a finding like a crash: prints what broke and aborts, so that libFuzzer
// keeps the input as a reproducer.
void FuzzCheck(bool holds, const char* property, const std::string& detail = {});

// The input as a byte string.
inline std::string FuzzText(const std::uint8_t* data, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Fills the processor and adapter tables from the shipped data files, once.
void LoadShippedScoreTables();

// Runs `work` on a thread with a 1 MiB stack, the default of a Windows program's main thread,
// where the product parses; the fuzz process's own 8 MiB would hide deep recursion.
void RunOnProductStack(const std::function<void()>& work);
