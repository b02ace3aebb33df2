#pragma once
// Every key of the machine record, with who writes it and who reads it. Product code names keys
// only through these constants, so a misspelt key is a compile error, not an empty report field.
namespace InfoKey {

// Network probe, first probe run only; the form and its token.
inline constexpr char Mac[] = "Mac";
// Network probe, first run only: adapter name then description; the summary and the form.
inline constexpr char AdapterName[] = "AdapterName";
// Network probe, first run only: "user@host"; the summary and the form.
inline constexpr char HostName[] = "HostName";
// Runtime probe: Visual C++ runtime names, each followed by ";"; the form.
inline constexpr char MSVC[] = "MSVC";
// Runtime probe: "supported" when a 2010 runtime is installed; nobody reads it.
inline constexpr char VC10[] = "VC10";
// Shader probe: "supported" when the test shader compiled; nobody reads it.
inline constexpr char D3D9[] = "D3D9";
// Shader probe: "D3D9;" or empty; the form.
inline constexpr char DirectX[] = "DirectX";
// Display probe: width, height and depth; nobody reads them.
inline constexpr char ResolutionX[] = "ResolutionX";
inline constexpr char ResolutionY[] = "ResolutionY";
inline constexpr char ResolutionBits[] = "ResolutionBits";
// Display probe: "WxH, Nbits"; the form.
inline constexpr char Resolution[] = "Resolution";
// Version probe: "Windows M.m, SP a.b"; the form.
inline constexpr char OS[] = "OS";
// Version probe: major * 100 + minor; nobody reads it.
inline constexpr char WindowsVersion[] = "WindowsVersion";
// Processor probe, single and batch evaluation; evaluation, result line and the form.
inline constexpr char CPU[] = "CPU";
// Processor probe: physical cores; the form.
inline constexpr char CoreCount[] = "CoreCount";
// Processor probe: logical processors; evaluation (score fallback) and the form.
inline constexpr char LogicCoreCount[] = "LogicCoreCount";
// Memory probe and batch evaluation: "%.2f MB"; batch evaluation and the form.
inline constexpr char RAM[] = "RAM";
// Memory probe, single and batch evaluation: bytes; evaluation.
inline constexpr char RAMBytes[] = "RAM Bytes";
// Graphics probe: every identified adapter with its driver version; the summary.
inline constexpr char GPUs[] = "GPUs";
// Graphics probe, single and batch evaluation: first adapter; evaluation, result line, form.
inline constexpr char GPU[] = "GPU";
// Graphics probe: first adapter's driver version; the form.
inline constexpr char GPUDriver[] = "GPU Driver";
// Video memory probe: "%.2f MB" each; the form.
inline constexpr char LocalVideoMem[] = "LocalVideoMem";
inline constexpr char TotalVideoMem[] = "TotalVideoMem";
// Run counter, on every read or increment; the form.
inline constexpr char Times[] = "Times";
// The dialog's Start, after the account check; the form and its token.
inline constexpr char Zeq[] = "Zeq";
// Evaluation: level 1 to 5, or 0; single evaluation, result line, batch evaluation, the form.
inline constexpr char Level[] = "Level";
// Evaluation: the gain; batch evaluation and the form.
inline constexpr char Gain[] = "Gain";
// Evaluation: the extra gain; single evaluation (exit code) and the result line.
inline constexpr char GainExtra[] = "GainExtra";
// Evaluation: devices below the requirement, and devices without a score; evaluation only.
inline constexpr char LowDevices[] = "LowDevices";
inline constexpr char OutDevices[] = "OutDevices";

} // namespace InfoKey
