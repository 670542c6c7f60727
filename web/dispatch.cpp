#include "web/dispatch.h"

#include "core/log.h"
#include "platform/platform.h"
#include "web/api.h"
#include "web/md5_hex.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUnit[] = "http_server";
const char kWwwRoot[] = "/srv/www/";
const size_t kETagBlock = 4096;

struct ContentType {
    const char* extension;
    const char* type;
};

const ContentType kContentTypes[] = {
    {".html", "text/html; charset=utf-8"},
    {".css", "text/css; charset=utf-8"},
    {".png", "image/png"},
    {".js", "application/javascript; charset=utf-8"},
    {".txt", "text/plain; charset=utf-8"},
};
const char kOctetStream[] = "application/octet-stream";

struct ErrorPage {
    int status;
    const char* body;
};

const ErrorPage kErrorPages[] = {
    {404, "<html><body><h1>Document not found</h1></body></html>\r\n"},
    {403, "<html><body><h1>Forbidden</h1></body></html>\r\n"},
    {500, "<html><body><h1>Internal server error</h1></body></html>\r\n"},
    {501, "<html><body><h1>Method not implemented</h1></body></html>\r\n"},
};
const char kOtherErrorPage[] = "<html><body><h1>Error</h1></body></html>\r\n";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The request header's lower-cased value contains the fragment.
bool headerContains(const HttpTransaction& transaction, const char* name, const std::string& fragment) {
    std::string value;
    return transaction.findRequestHeader(name, value) && lowerCase(value).find(fragment) != std::string::npos;
}

void addFileHeaders(HttpTransaction& transaction, const std::string& path, const std::string& etag) {
    transaction.addResponseHeader("Content-Type", contentTypeFor(path));
    transaction.addResponseHeader("Cache-Control", "no-cache");
    if (!etag.empty())
        transaction.addResponseHeader("ETag", etag);
}

// The ".gz" sibling when the client takes gzip and the sibling is a regular file; -1 otherwise.
int openGzipSibling(const HttpTransaction& transaction, const std::string& fileName) {
    if (!headerContains(transaction, "accept-encoding", "gzip"))
        return -1;
    int fd = ::open((fileName + ".gz").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        return fd;
    ::close(fd);
    return -1;
}

} // namespace

const char* contentTypeFor(const std::string& path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos)
        return kOctetStream;
    std::string extension = path.substr(dot);
    for (const ContentType& entry : kContentTypes)
        if (extension == entry.extension)
            return entry.type;
    return kOctetStream;
}

const char* errorPageBody(int status) {
    for (const ErrorPage& page : kErrorPages)
        if (page.status == status)
            return page.body;
    return kOtherErrorPage;
}

bool sendErrorPage(HttpTransaction& transaction, int status) {
    transaction.addResponseHeader("Content-Type", "text/html");
    return transaction.sendResponse(status, std::make_unique<ResponseFromMemory>(errorPageBody(status)));
}

std::string genETag(const std::string& fileName) {
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    Md5 md5;
    if (!md5.ok()) {
        LOG_MSG(LOG_ERR, kUnit, "genETag(): MD5_Init() returned error");
        ::close(fd);
        return {};
    }
    char block[kETagBlock];
    ssize_t count;
    while ((count = ::read(fd, block, sizeof block)) > 0 || (count < 0 && errno == EINTR))
        if (count > 0)
            md5.update(block, static_cast<size_t>(count));
    ::close(fd);
    std::string digest = md5.finish();
    return digest.empty() || count < 0 ? std::string() : "\"" + digest + "\"";
}

bool Dispatcher::dispatch(HttpTransaction& transaction, std::string path, std::string method,
                          const std::string&) {
    method = lowerCase(method);
    if (method != "get" && method != "post")
        return sendErrorPage(transaction, 501);
    if (path == "/")
        path = "/index.html";
    if (path == "/api")
        return api_.handle(transaction);
    if (path.find("..") != std::string::npos)
        return sendErrorPage(transaction, 404);
    std::string fileName = platform::rootPath(kWwwRoot) + path;

    std::string etag = genETag(fileName);
    if (!etag.empty() && headerContains(transaction, "if-none-match", etag)) {
        transaction.addResponseHeader("ETag", etag);
        return transaction.sendResponse(304, std::make_unique<ResponseNoContent>());
    }
    int gzipFd = openGzipSibling(transaction, fileName);
    if (gzipFd >= 0) {
        transaction.addResponseHeader("Content-Type", contentTypeFor(path));
        transaction.addResponseHeader("Content-Encoding", "gzip");
        transaction.addResponseHeader("Cache-Control", "no-cache");
        if (!etag.empty())
            transaction.addResponseHeader("ETag", etag);
        return transaction.sendResponse(200, std::make_unique<ResponseFromFile>(gzipFd));
    }
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return sendErrorPage(transaction, errno == ENOENT ? 404 : 403);
    struct stat status;
    if (fstat(fd, &status) != 0) {
        ::close(fd);
        return sendErrorPage(transaction, 500);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        return sendErrorPage(transaction, 403);
    }
    addFileHeaders(transaction, path, etag);
    return transaction.sendResponse(200, std::make_unique<ResponseFromFile>(fd));
}
