#include "config/xml_document.h"

#include <libxml/parser.h>

namespace {

const xmlChar* xmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

bool isElementNamed(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, xmlText(name));
}

const int kParseOptions = XML_PARSE_NOBLANKS | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

} // namespace

XmlDocument parseXmlFile(const std::string& path) {
    return XmlDocument(xmlReadFile(path.c_str(), nullptr, kParseOptions));
}

XmlDocument parseXmlText(const std::string& text) {
    return XmlDocument(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, kParseOptions));
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
    xmlChar* content = xmlNodeGetContent(element);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}
