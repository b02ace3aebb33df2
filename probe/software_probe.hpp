#pragma once
// Visual C++ runtime and Direct3D 9 shader probes. The Get* functions and CompileTestShader use
// the registry, a window, Direct3D 9 and D3DX (software_probe_win.cpp); the rest is
// platform-free formatting into the record.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

std::string GetMsvcRuntimes();
std::string GetDirectXSupport();

// Compiles the entry "MainPS" of the shader text for ps_3_0. A failure is shown in an error box
// while gShowInfo is set.
bool CompileTestShader(const std::string& source);

// From the display names of the installed programs: writes "MSVC" (and "VC10" when a 2010
// runtime is among them) and returns the summary text, one "\n\t" line per distinct name.
std::string RecordMsvcRuntimes(const std::vector<std::string>& displayNames);

// Writes "DirectX" (and "D3D9" after a successful shader test) and returns the "DirectX" text.
std::string RecordDirectXSupport(bool shaderCompiled);

// The text of the compile-failure box: the compiler's message when it gave one, otherwise the
// result code in hexadecimal.
std::string ShaderFailureText(const std::optional<std::string>& compilerMessage,
                              std::int32_t result);
