// Streaming XML parsing of one package part (expat), with the guards a
// hostile file needs.
//
// XmlStream feeds the chunks ZipArchive::read hands over to expat and calls
// an XmlHandler for each element and piece of text. Element and attribute
// names reach the handler without their namespace prefix ("x:c" arrives as
// "c"). A document type declaration is refused outright (package parts never
// carry one, and without it no entity can expand), expat's own protection
// against entity amplification stays on, and elements may nest at most
// kMaxXmlDepth deep. Every failure is a ReadError naming the file and part.
//
// Markup bound. Expat keeps a piece of markup whole in its buffer until the
// piece ends, growing the buffer to about twice its size on the way, so one
// enormous attribute value would otherwise cost several times the part.
// Bounded are the pieces it keeps so: a start or empty-element tag with all
// its attributes, an end tag, a comment, a processing instruction (the XML
// declaration among them) and an entity or character reference; a name
// lies inside one of them. A piece's length is its bytes in the part, from
// its "<" or "&" through its closing ">" or ";", both included. A piece of
// exactly kMaxXmlMarkupBytes reads; one byte more is refused, however the
// part is cut into chunks: a piece that ends within a chunk is measured by
// expat's own count of its bytes, one still open when a chunk has been
// parsed by where expat says it started. Text between tags, CDATA sections
// included, reaches the handler in pieces and is bounded by the handler.
// Expat 2.6 and later (and older versions with that change backported, as
// Debian 12's 2.5.0) may put off parsing a chunk that adds little to an open
// piece, and its position then says nothing of the new bytes; that is
// turned off, through the headers' switch or, where they lack it, through
// the one the loaded library has.
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
    static void onOther(void* self, const char* data, int size);
    void stop(std::exception_ptr error);
    // Before expat parses `size` more bytes, then after it has.
    void willParse(std::size_t size);
    void check(int status);
    void checkOpenMarkup();
    // Whether the piece of markup expat reports now is past the bound.
    bool eventTooLong() const;
    [[noreturn]] void refuseLongMarkup() const;
    ReadError longMarkup() const;

    XML_ParserStruct* parser_ = nullptr;
    XmlHandler& handler_;
    QString fileName_;
    std::string partName_;
    int depth_ = 0;
    std::uint64_t fed_ = 0;  // bytes handed to expat so far
    // Where expat last said its unparsed bytes start; nothing before it can
    // belong to a piece of markup still to be reported.
    std::uint64_t unparsedFrom_ = 0;
    // Whether a piece reported during this call could be past the bound, so
    // that the handlers measure pieces only then.
    bool mayBeTooLong_ = false;
    std::exception_ptr error_;
};

}  // namespace xl
