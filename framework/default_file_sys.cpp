#include "framework/default_file_sys.hpp"

#include <cstdio>

namespace Kordo {

namespace {

std::FILE* Stream(FileHandle file)
{
    return file == 0 || file == kNoFile ? nullptr : reinterpret_cast<std::FILE*>(file);
}

// Leaves the stream at the start.
long Measure(std::FILE* stream)
{
    std::fseek(stream, 0, SEEK_END);
    const long size = std::ftell(stream);
    std::fseek(stream, 0, SEEK_SET);
    return size;
}

} // namespace

FileHandle CDefaultFileSys::Open(const char* path)
{
    std::FILE* stream = path ? std::fopen(path, "rb") : nullptr;
    return stream ? reinterpret_cast<FileHandle>(stream) : kNoFile;
}

int CDefaultFileSys::Read(FileHandle file, void* buffer, int capacity)
{
    std::FILE* stream = Stream(file);
    if (!stream || !buffer)
        return 0;
    const long size = Measure(stream);
    if (size <= 0 || capacity < size)
        return 0;
    return std::fread(buffer, static_cast<std::size_t>(size), 1, stream) == 1
               ? static_cast<int>(size)
               : 0;
}

int CDefaultFileSys::GetSize(FileHandle file)
{
    std::FILE* stream = Stream(file);
    return stream ? static_cast<int>(Measure(stream)) : 0;
}

void CDefaultFileSys::Close(FileHandle file)
{
    if (std::FILE* stream = Stream(file))
        std::fclose(stream);
}

} // namespace Kordo
