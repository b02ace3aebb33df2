#pragma once
// MD5 message digest (RFC 1321), written as 32 lower-case hex digits, first byte first.
#include <array>
#include <cstdint>
#include <string>

std::array<std::uint8_t, 16> Md5(const std::string& bytes);
std::string Md5Hex(const std::string& bytes);
