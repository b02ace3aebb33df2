#pragma once
// The server's certificate judged before the report leaves: the chain, the host name, the
// validity dates and, when the program carries them, its own roots or key pins.
#include "report/https_trust.hpp"

#include <windows.h>

#include <wincrypt.h>

#include <string>

CertificateFault CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& host,
                                        const HttpsTrust& trust);
