#pragma once
// The program's own embedded data files.
#include <string>

// Embedded data files: resource type "TEXT", language 2052.
constexpr int kTestShaderResource = 101;
constexpr int kCpuTableResource = 102;
constexpr int kGpuTableResource = 103;

// What happens when an embedded file fails its digest: the program ends at once (app/), before
// the file is used.
void OnDataDigestMismatch(void (*action)());

// The bytes of a resource of the program's own image, checked against the data digest table.
// On a digest mismatch the action above runs; without one, or if it returns, the text is empty.
std::string LoadTextResource(int resourceId, const char* fileName, const char* resourceType);
