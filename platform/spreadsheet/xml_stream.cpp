#include "platform/spreadsheet/xml_stream.h"

#include "platform/spreadsheet/zip_archive.h"

// Debian builds expat with DTD support (and with it the amplification guard);
// its header only declares those calls when told so.
#ifndef XML_DTD
#define XML_DTD
#endif
#include <expat.h>

#ifndef VEX_EXPAT_HAS_REPARSE_DEFERRAL
#include <dlfcn.h>
#endif

#include <algorithm>
#include <bit>
#include <cstring>

namespace xl {

const char* localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

const char* attribute(const char** attributes, const char* name) {
    for (const char** a = attributes; *a != nullptr; a += 2)
        if (std::strcmp(localName(a[0]), name) == 0) return a[1];
    return nullptr;
}

namespace {

// Expat that defers parsing a chunk (2.6 and later, and older versions with
// that change backported) leaves its position where it was, with the new
// bytes not yet looked at; the open markup could then not be measured. Such
// a library has the switch that turns it off: where these headers lack it,
// it is looked up in the library actually loaded.
void parseEveryChunk(XML_Parser parser) {
#ifdef VEX_EXPAT_HAS_REPARSE_DEFERRAL
    XML_SetReparseDeferralEnabled(parser, XML_FALSE);
#else
    using Switch = XML_Bool (*)(XML_Parser, XML_Bool);
    static const Switch turn = std::bit_cast<Switch>(::dlsym(RTLD_DEFAULT, "XML_SetReparseDeferralEnabled"));
    if (turn != nullptr) turn(parser, XML_FALSE);
#endif
}

}  // namespace

XmlStream::XmlStream(XmlHandler& handler, const QString& fileName, const std::string& partName)
    : handler_(handler), fileName_(fileName), partName_(partName) {
    parser_ = XML_ParserCreate("UTF-8");
    if (parser_ == nullptr) throw ReadError(readFailure(fileName_, QStringLiteral("no hay memoria suficiente")));
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlStream::onStart, &XmlStream::onEnd);
    XML_SetCharacterDataHandler(parser_, &XmlStream::onText);
    XML_SetStartDoctypeDeclHandler(parser_, &XmlStream::onDoctype);
    // Comments, processing instructions and the XML declaration, to measure
    // them; "Expand" keeps entities expanding as without this handler.
    XML_SetDefaultHandlerExpand(parser_, &XmlStream::onOther);
    parseEveryChunk(parser_);
    // Never fetch or expand anything external, and keep the amplification guard
    // tight even though the document type declaration is refused anyway.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser_, 20.0f);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser_, 1u << 20);
}

XmlStream::~XmlStream() { XML_ParserFree(parser_); }

void XmlStream::stop(std::exception_ptr error) {
    if (!error_) error_ = std::move(error);
    XML_StopParser(parser_, XML_FALSE);
}

ReadError XmlStream::longMarkup() const {
    return ReadError(readFailure(fileName_, QStringLiteral("la parte «%1» tiene una etiqueta, un comentario u otra pieza de marcado "
                                                           "de más de %2 MiB; el archivo es demasiado grande o está manipulado")
                                                .arg(QString::fromStdString(partName_))
                                                .arg(kMaxXmlMarkupBytes >> 20)));
}

void XmlStream::refuseLongMarkup() const { throw longMarkup(); }

bool XmlStream::eventTooLong() const {
    return mayBeTooLong_ && static_cast<std::size_t>(XML_GetCurrentByteCount(parser_)) > kMaxXmlMarkupBytes;
}

void XmlStream::onStart(void* p, const char* name, const char** attributes) {
    auto* self = static_cast<XmlStream*>(p);
    if (self->error_) return;
    if (self->eventTooLong()) {
        self->stop(std::make_exception_ptr(self->longMarkup()));
        return;
    }
    if (++self->depth_ > kMaxXmlDepth) {
        self->stop(std::make_exception_ptr(ReadError(readFailure(
            self->fileName_, QStringLiteral("la parte «%1» anida elementos a más de %2 niveles")
                                 .arg(QString::fromStdString(self->partName_))
                                 .arg(kMaxXmlDepth)))));
        return;
    }
    try {
        self->handler_.startElement(localName(name), attributes);
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void XmlStream::onEnd(void* p, const char* name) {
    auto* self = static_cast<XmlStream*>(p);
    if (self->error_) return;
    if (self->eventTooLong()) {
        self->stop(std::make_exception_ptr(self->longMarkup()));
        return;
    }
    --self->depth_;
    try {
        self->handler_.endElement(localName(name));
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void XmlStream::onText(void* p, const char* data, int size) {
    auto* self = static_cast<XmlStream*>(p);
    if (self->error_) return;
    // Text passes through as it stands in the part (UTF-8 in, UTF-8 out): only
    // a reference is longer in the part than what it gives.
    if (self->eventTooLong() && XML_GetCurrentByteCount(self->parser_) > size) {
        self->stop(std::make_exception_ptr(self->longMarkup()));
        return;
    }
    try {
        self->handler_.characters(data, size);
    } catch (...) {
        self->stop(std::current_exception());
    }
}

void XmlStream::onDoctype(void* p, const char*, const char*, const char*, int) {
    auto* self = static_cast<XmlStream*>(p);
    self->stop(std::make_exception_ptr(ReadError(readFailure(
        self->fileName_, QStringLiteral("la parte «%1» contiene una declaración de tipo de documento, que un libro de Excel no usa; el archivo está manipulado")
                             .arg(QString::fromStdString(self->partName_))))));
}

// Raw bytes of the part, as they stand (the part is read as UTF-8, so
// nothing is converted): a comment, a processing instruction, the XML
// declaration, or blanks outside the root element, which are no markup.
void XmlStream::onOther(void* p, const char* data, int size) {
    auto* self = static_cast<XmlStream*>(p);
    if (self->error_) return;
    if (size > 0 && data[0] == '<' && static_cast<std::size_t>(size) > kMaxXmlMarkupBytes)
        self->stop(std::make_exception_ptr(self->longMarkup()));
}

void XmlStream::willParse(std::size_t size) {
    fed_ += size;
    // A piece reported now started at unparsedFrom_ or later and ends by fed_.
    mayBeTooLong_ = fed_ - unparsedFrom_ > kMaxXmlMarkupBytes;
}

void XmlStream::check(int status) {
    if (error_) std::rethrow_exception(error_);
    if (status == XML_STATUS_ERROR) {
        throw ReadError(readFailure(fileName_, QStringLiteral("la parte «%1» no es XML válido (línea %2, columna %3); el archivo está dañado")
                                                   .arg(QString::fromStdString(partName_))
                                                   .arg(XML_GetCurrentLineNumber(parser_))
                                                   .arg(XML_GetCurrentColumnNumber(parser_) + 1)));
    }
}

// After a call, expat's current position is the start of the markup it has
// not seen the end of yet (everything after it is that markup, so far), as
// it parses every chunk (parseEveryChunk). It has none (-1) only when expat
// moved its buffer and parsed nothing since; nothing is measured then.
void XmlStream::checkOpenMarkup() {
    const XML_Index at = XML_GetCurrentByteIndex(parser_);
    if (at < 0) return;
    unparsedFrom_ = std::max(unparsedFrom_, static_cast<std::uint64_t>(at));
    if (fed_ - unparsedFrom_ > kMaxXmlMarkupBytes) refuseLongMarkup();
}

void XmlStream::feed(const char* data, std::size_t size) {
    // Pieces well below the markup bound, so that expat's buffer stays near it.
    constexpr std::size_t step = std::size_t{1} << 20;
    while (size > 0) {
        const std::size_t n = size < step ? size : step;
        willParse(n);
        check(XML_Parse(parser_, data, static_cast<int>(n), XML_FALSE));
        checkOpenMarkup();
        data += n;
        size -= n;
    }
}

char* XmlStream::buffer(std::size_t size) {
    void* p = XML_GetBuffer(parser_, static_cast<int>(size));
    if (p == nullptr) throw ReadError(readFailure(fileName_, QStringLiteral("no hay memoria suficiente")));
    return static_cast<char*>(p);
}

void XmlStream::parseBuffer(std::size_t size) {
    willParse(size);
    check(XML_ParseBuffer(parser_, static_cast<int>(size), XML_FALSE));
    checkOpenMarkup();
}

void XmlStream::finish() {
    willParse(0);  // what expat put off, it parses now
    check(XML_Parse(parser_, "", 0, XML_TRUE));
}

}  // namespace xl
