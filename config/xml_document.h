#pragma once
// libxml2 trees of the configuration files: owned documents and the few element operations they need.

#include <cstddef>
#include <libxml/tree.h>
#include <memory>
#include <string>

struct XmlDocumentFree {
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};
using XmlDocument = std::unique_ptr<xmlDoc, XmlDocumentFree>;

// The largest configuration file read or written: the files this system writes are a few kilobytes,
// so a larger one is not a configuration (and would cost memory and time at every save).
constexpr size_t kMaxXmlFileBytes = 256 * 1024;

// Parses a regular file of at most kMaxXmlFileBytes, dropping blank text nodes; nullptr when it cannot
// be read or is not well-formed. Entities are neither substituted nor fetched and no DTD is loaded; a
// document that declares entities is refused (logged), since its references would multiply its size.
// Nothing else is printed on failure.
XmlDocument parseXmlFile(const std::string& path);
// Parses a document held in memory likewise.
XmlDocument parseXmlText(const std::string& text);
// A new version "1.0" document holding an empty root element.
XmlDocument newXmlDocument(const char* rootName);
// The document in UTF-8 with its XML declaration, indented.
std::string formatXmlDocument(xmlDoc* document);

// The first child element with this name, or nullptr.
xmlNode* firstChildElement(xmlNode* parent, const char* name);
// The first child element with this name, appended empty when there is none.
xmlNode* childElementOrNew(xmlNode* parent, const char* name);
// Removes every child element with this name and appends one that holds the text.
void replaceChildElements(xmlNode* parent, const char* name, const std::string& text);
// The text of an element: its text and CDATA children, with no entity expanded (empty for an empty
// element).
std::string elementText(xmlNode* element);
