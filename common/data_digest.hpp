#pragma once
// Integrity check of the embedded data files: salted MD5 digests generated at build time.
#include <map>
#include <string>

// 14 bytes appended (never prepended) to a data file before hashing.
extern const std::string DataDigestSalt;

// File name -> expected digest of the file's bytes followed by DataDigestSalt.
const std::map<std::string, std::string>& DataDigestTable();

// The salted digest of a data file's bytes.
std::string DataDigest(const std::string& bytes);

// True when the file name has no table entry or its entry equals the text's salted digest.
bool DataDigestMatches(const std::string& fileName, const std::string& bytes);
