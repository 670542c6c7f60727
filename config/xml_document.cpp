#include "config/xml_document.h"

#include "core/log.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <libxml/parser.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const xmlChar* xmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool isElementNamed(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, xmlText(name));
}

const char kUnit[] = "config";

// Without XML_PARSE_NOENT entities stay references, without XML_PARSE_DTDLOAD and with
// XML_PARSE_NONET nothing outside the document is read.
const int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

bool declaresEntities(const xmlDtd* dtd) {
    return dtd && (dtd->entities || dtd->pentities);
}

// The whole file when it is a regular file of at most kMaxXmlFileBytes; a FIFO or device is not
// waited for.
bool readBoundedFile(const std::string& path, std::string& content) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    if (static_cast<size_t>(status.st_size) > kMaxXmlFileBytes) {
        LOG_MSG(LOG_ERR, kUnit, "refusing %s: larger than %zu bytes", path.c_str(), kMaxXmlFileBytes);
        return false;
    }
    // Sized from the file with a byte to spare, which shows a file that grew meanwhile; grown as needed up
    // to one byte past the limit.
    content.resize(static_cast<size_t>(status.st_size) + 1);
    size_t done = 0;
    for (;;) {
        if (done == content.size()) {
            if (content.size() > kMaxXmlFileBytes)
                break;
            content.resize(std::min(2 * content.size(), kMaxXmlFileBytes + 1));
        }
        ssize_t n = ::read(fd.get(), &content[done], content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    content.resize(done);
    return done <= kMaxXmlFileBytes;
}

XmlDocument parseBounded(const std::string& text, const char* name) {
    if (text.size() > kMaxXmlFileBytes)
        return nullptr;
    XmlDocument document(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kParseOptions));
    if (document && (declaresEntities(document->intSubset) || declaresEntities(document->extSubset))) {
        LOG_MSG(LOG_ERR, kUnit, "refusing %s: it declares entities", name);
        return nullptr;
    }
    return document;
}

} // namespace

XmlDocument parseXmlFile(const std::string& path) {
    std::string content;
    if (!readBoundedFile(path, content))
        return nullptr;
    return parseBounded(content, path.c_str());
}

XmlDocument parseXmlText(const std::string& text) {
    return parseBounded(text, "a document");
}

XmlDocument newXmlDocument(const char* rootName) {
    XmlDocument document(xmlNewDoc(xmlText("1.0")));
    xmlDocSetRootElement(document.get(), xmlNewDocNode(document.get(), nullptr, xmlText(rootName), nullptr));
    return document;
}

std::string formatXmlDocument(xmlDoc* document) {
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(document, &buffer, &size, "UTF-8", 1);
    std::string text;
    if (buffer && size > 0)
        text.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    xmlFree(buffer);
    return text;
}

xmlNode* firstChildElement(xmlNode* parent, const char* name) {
    for (xmlNode* child = parent->children; child; child = child->next)
        if (isElementNamed(child, name))
            return child;
    return nullptr;
}

xmlNode* childElementOrNew(xmlNode* parent, const char* name) {
    if (xmlNode* child = firstChildElement(parent, name))
        return child;
    return xmlNewChild(parent, nullptr, xmlText(name), nullptr);
}

void replaceChildElements(xmlNode* parent, const char* name, const std::string& text) {
    for (xmlNode* child = parent->children; child;) {
        xmlNode* next = child->next;
        if (isElementNamed(child, name)) {
            xmlUnlinkNode(child);
            xmlFreeNode(child);
        }
        child = next;
    }
    xmlNewTextChild(parent, nullptr, xmlText(name), xmlText(text.c_str()));
}

std::string elementText(xmlNode* element) {
    std::string text;
    for (xmlNode* child = element->children; child; child = child->next)
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content)
            text += reinterpret_cast<const char*>(child->content);
    return text;
}
