#include "tests/win/framework_scratch_folder.hpp"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

std::string Prepare(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    return path;
}

} // namespace

ScratchFolder::ScratchFolder()
{
    static int count = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    mPath = std::string(temp) + "kordo-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++count);
    std::filesystem::remove_all(mPath);
    std::filesystem::create_directories(mPath);
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

std::string ScratchFolder::Write(const std::string& relative, const std::string& bytes) const
{
    const std::string path = Prepare(mPath + "\\" + relative);
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    if (!file)
        throw std::runtime_error("cannot write " + path);
    return path;
}

std::string ScratchFolder::Copy(const std::string& from, const std::string& relative) const
{
    const std::string path = Prepare(mPath + "\\" + relative);
    if (!CopyFileA(from.c_str(), path.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + path);
    return path;
}
