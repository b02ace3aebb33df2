#pragma once
// The program's own embedded data files.
#include <string>

// Embedded data files: resource type "TEXT", language 2052.
constexpr int kTestShaderResource = 101;
constexpr int kCpuTableResource = 102;
constexpr int kGpuTableResource = 103;

// The bytes of a resource of the program's own image, checked against the data digest table.
// A digest mismatch ends the process at once with exit code -1 and no message.
std::string LoadTextResource(int resourceId, const char* fileName, const char* resourceType);
