#pragma once
// Whom an https upload trusts, and the reasons a server's certificate is refused, in words.
#include <string>
#include <vector>

struct HttpsTrust {
    // PEM certificates built into the program: when given, only these roots are trusted.
    std::string caPem;
    // Base64 SHA-256 digests of SubjectPublicKeyInfo: when given, a chain that holds one of these
    // keys is trusted, whoever signed it, and a chain that holds none is refused.
    std::vector<std::string> pins;
};

// "sha256/BASE64;sha256/BASE64..." as the build takes it: the digests' base64 texts. Throws
// std::invalid_argument for an entry that is not a base64 SHA-256 digest.
std::vector<std::string> ParsePins(const std::string& text);

enum class CertificateFault { None, Untrusted, OtherName, Expired, NotPinned };

// "certificate not trusted", "certificate is for another name", "certificate expired",
// "server key not pinned"; empty for None.
const char* CertificateFaultText(CertificateFault fault);
