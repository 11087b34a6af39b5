#pragma once

#include <string>
#include <vector>

#include "testing/TempDirectory.h"

typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace qor::testing {

// A throw-away certificate authority and a server certificate it signed, made
// when the object is built. The server certificate names the given DNS names
// (wildcards such as "*.example.test" allowed) and the addresses 127.0.0.1 and ::1. The
// CA's PEM is written to a file for URLSessionConfiguration::caFile / QOR_CA_FILE.
class TestCertificate {
public:
    explicit TestCertificate(std::vector<std::string> dnsNames = {"localhost"});
    ~TestCertificate();
    TestCertificate(const TestCertificate&) = delete;
    TestCertificate& operator=(const TestCertificate&) = delete;

    // Owned by this object.
    X509* serverCertificate() const { return serverCertificate_; }
    EVP_PKEY* serverKey() const { return serverKey_; }

    const std::string& caFilePath() const { return caFilePath_; }
    std::string caPEM() const;

private:
    TempDirectory directory_{"qor-cert"};
    EVP_PKEY* caKey_ = nullptr;
    X509* caCertificate_ = nullptr;
    EVP_PKEY* serverKey_ = nullptr;
    X509* serverCertificate_ = nullptr;
    std::string caFilePath_;
};

}  // namespace qor::testing
