#include "sim/web_files.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kWwwDir[] = "/srv/www";
const char kShareDir[] = "/usr/share/velkord";
const char kUsersFile[] = "/usr/share/velkord/users.txt";
const char kKeyFile[] = "/usr/share/velkord/server.key";
const char kCertificateFile[] = "/usr/share/velkord/server.cer";
constexpr long kCertificateValidSeconds = 10L * 365 * 24 * 3600;
constexpr long kCertificateSerial = 1;
constexpr mode_t kKeyMode = 0600;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct FileClose {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileClose>;

bool writePem(const std::string& path, mode_t mode, const std::function<int(FILE*)>& write,
              std::string& error) {
    FilePtr file(fopen(path.c_str(), "w"));
    if (!file || fchmod(fileno(file.get()), mode) != 0 || write(file.get()) != 1) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool copyTree(const std::string& from, const std::string& to, std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(to, code);
    std::filesystem::copy(
        from, to,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, code);
    if (!code)
        return true;
    error = "cannot copy " + from + " to " + to + ": " + code.message();
    return false;
}

} // namespace

bool makeSelfSignedCertificate(const std::string& keyPath, const std::string& certificatePath,
                               std::string& error) {
    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    if (!key || !certificate) {
        error = "cannot make a key";
        return false;
    }
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), kCertificateSerial);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kCertificateValidSeconds);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("velkord"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("velkord"),
                               -1, -1, 0);
    X509_set_issuer_name(certificate.get(), name);
    if (X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
        error = "cannot sign the certificate";
        return false;
    }
    return writePem(
               keyPath, kKeyMode,
               [&](FILE* file) {
                   return PEM_write_PrivateKey(file, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
               },
               error) &&
           writePem(
               certificatePath, 0644, [&](FILE* file) { return PEM_write_X509(file, certificate.get()); },
               error);
}

bool installWebFiles(const std::string& root, const std::string& wwwDir, const std::string& usersFile,
                     std::string& error) {
    std::error_code code;
    std::filesystem::create_directories(root + kShareDir, code);
    if (access(wwwDir.c_str(), F_OK) == 0 && !copyTree(wwwDir, root + kWwwDir, error))
        return false;
    if (access((root + kUsersFile).c_str(), F_OK) != 0) {
        std::filesystem::copy_file(usersFile, root + kUsersFile, code);
        if (code) {
            error = "cannot copy " + usersFile + ": " + code.message();
            return false;
        }
    }
    if (access((root + kKeyFile).c_str(), F_OK) == 0 && access((root + kCertificateFile).c_str(), F_OK) == 0)
        return true;
    return makeSelfSignedCertificate(root + kKeyFile, root + kCertificateFile, error);
}
