#pragma once
// Libraries that only the machine probe uses (Direct3D 9, D3DX, DirectDraw, IP Helper) are not
// imported: loading them cost every run mode a large part of its start-up, so the probe loads
// them when it first needs them. Windows only; used by the probes' platform files.

// The export `function` of `library`, or nullptr when the library or the export is missing (the
// probe then leaves its keys unwritten). A library, once loaded, stays for the process, as an
// import would.
void* ProbeLibraryFunction(const char* library, const char* function);

// The same, typed after the function's declaration: ProbeFunction<decltype(Direct3DCreate9)>.
template <typename Function> Function* ProbeFunction(const char* library, const char* function)
{
    return reinterpret_cast<Function*>(ProbeLibraryFunction(library, function));
}
