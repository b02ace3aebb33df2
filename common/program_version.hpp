#pragma once
// The program's version as its version resource gives it ("1.0.0-68a9b6a3c1d2"), written at
// build time (cmake/make_program_version.cmake).
extern const char kProgramVersion[];
