// The commands "certinfo" and "certs": the HTTPS certificate and key on disk.

#include "platform/platform.h"
#include "web/api.h"
#include "web/tls_files.h"
#include "web/tls_pair.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sstream>

namespace {

// The pass phrase offered for an encrypted key.
const char kKeyPassPhrase[] = "Kv7mQ2xe";

struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Free {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using X509Ptr = std::unique_ptr<X509, X509Free>;
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

std::string readWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

X509Ptr parseCertificate(const std::string& pem) {
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio)
        return nullptr;
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

int passPhrase(char* buffer, int size, int, void*) {
    int length = static_cast<int>(std::strlen(kKeyPassPhrase));
    if (length > size)
        return 0;
    std::memcpy(buffer, kKeyPassPhrase, static_cast<size_t>(length));
    return length;
}

std::string reasonText() {
    const char* reason = ERR_reason_error_string(ERR_get_error());
    return reason ? reason : "";
}

std::string nameText(X509_NAME* name) {
    if (!name)
        return "Ошибка: " + reasonText();
    char* line = X509_NAME_oneline(name, nullptr, 0);
    if (!line)
        return "Ошибка: " + reasonText();
    std::string text = line;
    OPENSSL_free(line);
    return text;
}

// What a printing function wrote into a memory BIO.
template <typename Print> std::string printed(Print print) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    print(bio.get());
    char* data = nullptr;
    long length = BIO_get_mem_data(bio.get(), &data);
    return length > 0 ? std::string(data, static_cast<size_t>(length)) : std::string();
}

} // namespace

void Api::certinfo(JsonValue&, JsonValue& response) {
    X509Ptr cert = parseCertificate(readWholeFile(platform::rootPath(kServerCertificatePath)));
    if (!cert) {
        ERR_clear_error();
        response["certinfo"] = "нет сертификата";
        return;
    }
    JsonValue& info = response["certinfo"];
    info["subject"] = nameText(X509_get_subject_name(cert.get()));
    info["issuer"] = nameText(X509_get_issuer_name(cert.get()));
    info["notBefore"] = printed([&](BIO* bio) { ASN1_TIME_print(bio, X509_get0_notBefore(cert.get())); });
    info["notAfter"] = printed([&](BIO* bio) { ASN1_TIME_print(bio, X509_get0_notAfter(cert.get())); });
    info["serial"] = printed([&](BIO* bio) { i2a_ASN1_INTEGER(bio, X509_get_serialNumber(cert.get())); });
}

void Api::certs(JsonValue& request, JsonValue& response) {
    const JsonValue* certText = requiredField(request, response, "sslcert", kJsonString);
    if (!certText)
        return;
    const JsonValue* keyText = requiredField(request, response, "sslkey", kJsonString);
    if (!keyText)
        return;
    ERR_clear_error();
    if (!parseCertificate(certText->text)) {
        response["error"] = "Ошибка загрузки сертификата платы: " + reasonText();
        ERR_clear_error();
        return;
    }
    BioPtr keyBio(BIO_new_mem_buf(keyText->text.data(), static_cast<int>(keyText->text.size())));
    KeyPtr key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, passPhrase, nullptr) : nullptr);
    if (!key) {
        response["error"] = "Ошибка загрузки ключа: " + reasonText();
        ERR_clear_error();
        return;
    }
    // A crash leaves the old pair or the new one (see tls_pair.h).
    replaceServerTlsPair(certText->text, keyText->text);
}
