#pragma once
// The project's version with the commit the server was built from (git describe, "-dirty" with
// uncommitted changes); written at build time (cmake/make_server_version.cmake).
extern const char kServerVersion[];
