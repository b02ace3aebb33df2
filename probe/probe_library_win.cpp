#include "probe/probe_library.hpp"

#include <windows.h>

void* ProbeLibraryFunction(const char* library, const char* function)
{
    // LoadLibraryA finds a library loaded before and only counts it again; nothing is freed.
    const HMODULE module = LoadLibraryA(library);
    if (!module)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(module, function));
}
