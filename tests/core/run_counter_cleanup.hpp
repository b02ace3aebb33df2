#pragma once
// Removal of the shared-memory segments that run counter tests create.
#include <boost/interprocess/detail/shared_dir_helpers.hpp>
#include <boost/interprocess/shared_memory_object.hpp>

#include <cstdio>
#include <string>

inline void RemoveTestSegment(const std::string& name)
{
    boost::interprocess::shared_memory_object::remove(name.c_str());
#ifdef _WIN32
    // The library keeps a Windows segment in a file; its own removal does not take effect in
    // the optimised cross build under Wine, so the file goes directly.
    std::string folder;
    boost::interprocess::ipcdetail::get_shared_dir(folder);
    std::remove((folder + "/" + name).c_str());
#endif
}
