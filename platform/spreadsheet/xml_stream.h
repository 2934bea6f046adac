// Streaming XML parsing of one package part (expat), with the guards a
// hostile file needs.
//
// XmlStream feeds the chunks ZipArchive::read hands over to expat and calls
// an XmlHandler for each element and piece of text. Element and attribute
// names reach the handler without their namespace prefix ("x:c" arrives as
// "c"). A document type declaration is refused outright (package parts never
// carry one, and without it no entity can expand), expat's own protection
// against entity amplification stays on, elements may nest at most
// kMaxXmlDepth deep, and no single piece of markup (a tag with its
// attributes, a comment) may be longer than kMaxXmlMarkupBytes: expat keeps
// such a piece whole in its buffer until it ends, and grows the buffer to
// about twice its size on the way, so one enormous attribute value would
// otherwise cost several times the part. Text between tags reaches the
// handler in pieces and is bounded by the handler. Every failure is a
// ReadError naming the file and part.
#pragma once

#include "platform/spreadsheet/cells.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

struct XML_ParserStruct;

namespace xl {

constexpr int kMaxXmlDepth = 256;
constexpr std::size_t kMaxXmlMarkupBytes = std::size_t{16} << 20;

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // `attributes` is expat's array: name, value, name, value, ..., nullptr.
    virtual void startElement(const char* name, const char** attributes) = 0;
    virtual void endElement(const char* name) = 0;
    // Text between tags, in UTF-8, in pieces of any size.
    virtual void characters(const char* data, int size) = 0;
};

// The value of attribute `name` (compared without prefix), or nullptr.
const char* attribute(const char** attributes, const char* name);

// `name` without its namespace prefix.
const char* localName(const char* name);

class XmlStream {
public:
    // Throws ReadError if the parser cannot be created.
    XmlStream(XmlHandler& handler, const QString& fileName, const std::string& partName);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // Parses the next chunk. Throws ReadError for malformed or refused XML;
    // an exception thrown by the handler is rethrown here.
    void feed(const char* data, std::size_t size);
    // Room for the next `size` bytes inside the parser (throws ReadError when
    // out of memory), to be handed over with parseBuffer without a copy.
    char* buffer(std::size_t size);
    void parseBuffer(std::size_t size);
    // Ends the document (throws as feed does, also for a truncated document).
    void finish();

private:
    static void onStart(void* self, const char* name, const char** attributes);
    static void onEnd(void* self, const char* name);
    static void onText(void* self, const char* data, int size);
    static void onDoctype(void* self, const char* name, const char* sysid, const char* pubid, int hasInternalSubset);
    void stop(std::exception_ptr error);
    void check(int status);
    void checkPending();

    XML_ParserStruct* parser_ = nullptr;
    XmlHandler& handler_;
    QString fileName_;
    std::string partName_;
    int depth_ = 0;
    std::uint64_t fed_ = 0;  // bytes handed to expat so far
    std::exception_ptr error_;
};

}  // namespace xl
