#include "report/certificate_check.hpp"

#include "common/owners_win.hpp"

#include <algorithm>
#include <vector>

namespace {

// Every certificate of the PEM text in a store of its own.
CertificateStore RootsFromPem(const std::string& pem)
{
    static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
    static const std::string kEnd = "-----END CERTIFICATE-----";
    CertificateStore roots(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    for (std::size_t at = pem.find(kBegin); roots && at != std::string::npos;
         at = pem.find(kBegin, at + 1)) {
        const std::size_t end = pem.find(kEnd, at);
        if (end == std::string::npos)
            break;
        const auto length = static_cast<DWORD>(end + kEnd.size() - at);
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.data() + at, length, CRYPT_STRING_BASE64HEADER, nullptr,
                                  &size, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(size);
        if (CryptStringToBinaryA(pem.data() + at, length, CRYPT_STRING_BASE64HEADER, der.data(),
                                 &size, nullptr, nullptr))
            CertAddEncodedCertificateToStore(roots.get(), X509_ASN_ENCODING, der.data(), size,
                                             CERT_STORE_ADD_ALWAYS, nullptr);
    }
    return roots;
}

// An engine that trusts the given roots alone.
CertificateEngine ExclusiveEngine(HCERTSTORE roots)
{
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = sizeof config;
    config.hExclusiveRoot = roots;
    HCERTCHAINENGINE engine = nullptr;
    if (!CertCreateCertificateChainEngine(&config, &engine))
        return nullptr;
    return CertificateEngine(engine);
}

// Base64 of the SHA-256 digest of the certificate's SubjectPublicKeyInfo, as openssl writes it.
std::string KeyPin(PCCERT_CONTEXT certificate)
{
    DWORD size = 0;
    CERT_PUBLIC_KEY_INFO* key = &certificate->pCertInfo->SubjectPublicKeyInfo;
    if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size))
        return {};
    std::vector<BYTE> der(size);
    BYTE digest[32];
    DWORD digestSize = sizeof digest;
    if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, der.data(), &size) ||
        !CryptHashCertificate2(L"SHA256", 0, nullptr, der.data(), size, digest, &digestSize))
        return {};
    char text[64];
    DWORD textSize = sizeof text;
    if (!CryptBinaryToStringA(digest, digestSize, CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, text,
                              &textSize))
        return {};
    return std::string(text, textSize);
}

bool HoldsPinnedKey(PCCERT_CHAIN_CONTEXT chain, const std::vector<std::string>& pins)
{
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    for (DWORD i = 0; i < simple->cElement; ++i) {
        const std::string pin = KeyPin(simple->rgpElement[i]->pCertContext);
        if (!pin.empty() && std::find(pins.begin(), pins.end(), pin) != pins.end())
            return true;
    }
    return false;
}

CertificateFault FaultOf(DWORD policyError)
{
    switch (policyError) {
    case 0:
        return CertificateFault::None;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return CertificateFault::OtherName;
    case static_cast<DWORD>(CERT_E_EXPIRED):
    case static_cast<DWORD>(CERT_E_VALIDITYPERIODNESTING):
        return CertificateFault::Expired;
    default:
        return CertificateFault::Untrusted;
    }
}

} // namespace

CertificateFault CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& host,
                                        const HttpsTrust& trust)
{
    CertificateStore roots;
    CertificateEngine engine;
    if (!trust.caPem.empty()) {
        roots = RootsFromPem(trust.caPem);
        engine = roots ? ExclusiveEngine(roots.get()) : nullptr;
        if (!engine)
            return CertificateFault::Untrusted;
    }
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    // The server's own store holds the intermediate certificates it sent.
    if (!CertGetCertificateChain(engine.get(), certificate, nullptr, certificate->hCertStore,
                                 &chainPara, 0, nullptr, &built))
        return CertificateFault::Untrusted;
    const CertificateChain chain(built);
    const bool pinned = !trust.pins.empty() && HoldsPinnedKey(chain.get(), trust.pins);
    if (!trust.pins.empty() && !pinned)
        return CertificateFault::NotPinned;
    // The chain's own verdict first: Wine's policy check passes a chain whose issuer was never
    // found. Revocation is not asked for; a pinned key stands in for the roots.
    const DWORD unanchored = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;
    const DWORD errors = chain->TrustStatus.dwErrorStatus &
                         ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION |
                           (pinned ? unanchored : 0));
    if (errors & ~CERT_TRUST_IS_NOT_TIME_VALID)
        return CertificateFault::Untrusted;
    if (errors & CERT_TRUST_IS_NOT_TIME_VALID)
        return CertificateFault::Expired;

    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    // The host name, and the rest of what Windows checks for a server.
    if (pinned)
        policy.dwFlags = CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        return CertificateFault::Untrusted;
    return FaultOf(status.dwError);
}
