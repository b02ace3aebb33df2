#pragma once
// Whether the program's own score tables know a device: the names a report carries looked up as
// the program looks them up (exact name, else canonical name), in tables compiled into the
// server from the same files.
#include <string>

bool ProcessorIsRated(const std::string& name);
bool AdapterIsRated(const std::string& name);
