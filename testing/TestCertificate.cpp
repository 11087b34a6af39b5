#include "testing/TestCertificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace qor::testing {

namespace {

void require(bool condition, const char* what) {
    if (!condition) throw std::runtime_error(std::string("test certificate: ") + what);
}

EVP_PKEY* makeKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    require(key != nullptr, "key generation failed");
    return key;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    require(extension != nullptr, "bad extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

X509* makeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer) {
    X509* certificate = X509_new();
    require(certificate != nullptr, "allocation failed");
    X509_set_version(certificate, 2);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7F;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -3600);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 2L * 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("QOR test"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, issuer ? X509_get_subject_name(issuer) : name);
    return certificate;
}

void sign(X509* certificate, EVP_PKEY* key) {
    require(X509_sign(certificate, key, EVP_sha256()) > 0, "signing failed");
}

std::string pemOf(X509* certificate) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
    PEM_write_bio_X509(bio.get(), certificate);
    char* data = nullptr;
    long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

TestCertificate::TestCertificate(std::vector<std::string> dnsNames) {
    caKey_ = makeKey();
    caCertificate_ = makeCertificate(caKey_, "QOR Test CA", nullptr);
    addExtension(caCertificate_, caCertificate_, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(caCertificate_, caCertificate_, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(caCertificate_, caCertificate_, NID_subject_key_identifier, "hash");
    sign(caCertificate_, caKey_);

    serverKey_ = makeKey();
    std::string commonName = dnsNames.empty() ? "127.0.0.1" : dnsNames.front();
    serverCertificate_ = makeCertificate(serverKey_, commonName, caCertificate_);
    std::string alternativeNames;
    for (const auto& dnsName : dnsNames) alternativeNames.append("DNS:").append(dnsName).append(1, ',');
    alternativeNames += "IP:127.0.0.1,IP:::1";
    addExtension(serverCertificate_, caCertificate_, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(serverCertificate_, caCertificate_, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    addExtension(serverCertificate_, caCertificate_, NID_ext_key_usage, "serverAuth");
    addExtension(serverCertificate_, caCertificate_, NID_subject_alt_name, alternativeNames);
    addExtension(serverCertificate_, caCertificate_, NID_authority_key_identifier, "keyid");
    sign(serverCertificate_, caKey_);

    caFilePath_ = directory_.write("ca.pem", caPEM()).string();
}

TestCertificate::~TestCertificate() {
    X509_free(serverCertificate_);
    EVP_PKEY_free(serverKey_);
    X509_free(caCertificate_);
    EVP_PKEY_free(caKey_);
}

std::string TestCertificate::caPEM() const { return pemOf(caCertificate_); }

}  // namespace qor::testing
