// Resolves the program's lazy imports (see cmake/make_lazy_imports.cmake): the user interface
// library costs a process under Wine more than all the rest of a single evaluation, and only
// modes that show a window or a box need it; advapi32 (registry, user name, security
// descriptors) serves only the probe and the dialog. Each is loaded on its first call.
#include <windows.h>

// Called by a stub with the caller's arguments still on the stack: finds the function, stores
// it in its import slot for the next calls and returns it for the stub to jump to.
extern "C" void* __stdcall VxmResolveLazyImport(const char* library, const char* function,
                                                void** slot)
{
    void* address = nullptr;
    if (const HMODULE module = LoadLibraryA(library))
        address = reinterpret_cast<void*>(GetProcAddress(module, function));
    if (!address)
        FatalAppExitA(0, function); // as the loader would refuse a missing import
    *slot = address;
    return address;
}
