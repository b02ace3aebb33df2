#pragma once
// The commit the server was built from (git describe, "-dirty" with uncommitted changes), or
// "unknown"; written at build time (cmake/make_server_version.cmake).
extern const char kServerVersion[];
