// What loading each library costs a fresh process, in the order given (a library pays only for
// what the ones before it did not already bring in). Usage: load_cost LIBRARY...
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 1; i < argc; ++i) {
        LARGE_INTEGER begin, end;
        QueryPerformanceCounter(&begin);
        const bool loaded = LoadLibraryA(argv[i]) != nullptr;
        QueryPerformanceCounter(&end);
        std::printf("load %-14s %8.2f ms%s\n", argv[i],
                    1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart,
                    loaded ? "" : " (missing)");
    }
    return 0;
}
