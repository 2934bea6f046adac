#include "platform/spreadsheet/xlsx_reader.h"

#include "platform/runtime/datetime.h"
#include "platform/spreadsheet/number_format.h"
#include "platform/spreadsheet/xml_stream.h"

#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xl {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Text as stored: UTF-8 with the package's _xHHHH_ escapes for characters XML
// cannot carry (Excel writes a carriage return as _x000D_), decoded into
// `out`, which has room for s.size() units (no byte yields more than one);
// returns the end. Malformed UTF-8 becomes U+FFFD as QString::fromUtf8 makes it.
char16_t* decodeTextInto(std::string_view s, char16_t* out) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const auto put = [&](std::string_view part) {
        out = reinterpret_cast<char16_t*>(utf8.appendToBuffer(reinterpret_cast<QChar*>(out),
                                                              QByteArrayView(part.data(), static_cast<qsizetype>(part.size()))));
    };
    std::size_t from = 0;
    for (std::size_t i = s.find("_x"); i != std::string_view::npos; i = s.find("_x", i)) {
        if (i + 7 <= s.size() && s[i + 6] == '_' && isHex(s[i + 2]) && isHex(s[i + 3]) && isHex(s[i + 4]) && isHex(s[i + 5])) {
            put(s.substr(from, i - from));
            unsigned unit = 0;
            std::from_chars(s.data() + i + 2, s.data() + i + 6, unit, 16);
            *out++ = static_cast<char16_t>(unit);
            i += 7;
            from = i;
        } else {
            ++i;
        }
    }
    put(s.substr(from));
    return out;
}

SheetData::TextId addDecodedText(SheetData& pool, std::string_view s) {
    return pool.addText(s.size(), [s](char16_t* out) { return decodeTextInto(s, out); });
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

std::optional<double> parseNumber(std::string_view s) {
    s = trimmed(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<std::int64_t> parseInt(std::string_view s) {
    s = trimmed(s);
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// "A1" style reference. nullopt when malformed; row or column 0 past the
// sheet's edges (the caller reports those as out of bounds).
struct CellRef {
    std::int64_t row = 0, column = 0;
};
std::optional<CellRef> parseRef(std::string_view s) {
    CellRef ref;
    std::size_t i = 0;
    while (i < s.size() && ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
        const char c = static_cast<char>(s[i] & ~0x20);
        if (ref.column > kMaxColumns) return ref;  // already past the edge; keep it bounded
        ref.column = ref.column * 26 + (c - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == s.size()) return std::nullopt;
    const std::size_t digits = i;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        if (ref.row <= kMaxRows) ref.row = ref.row * 10 + (s[i] - '0');
    }
    if (digits == s.size()) return std::nullopt;
    return ref;
}

// ---------------------------------------------------------------- parts

void parsePart(ZipArchive& zip, const std::string& part, XmlHandler& handler) {
    // Large chunks for large parts; small parts (most of them) need no more
    // than their size.
    const std::uint64_t declared = zip.declaredSizes(part).inflated;
    const std::size_t chunk = static_cast<std::size_t>(std::clamp<std::uint64_t>(declared + 1, 4096, 256 * 1024));
    XmlStream xml(handler, zip.fileName(), part);
    zip.readInto(part, chunk, [&xml, chunk] { return xml.buffer(chunk); }, [&xml](std::size_t n) { xml.parseBuffer(n); });
    xml.finish();
}

struct Relationship {
    std::string type, target;
    bool external = false;
};

class RelsHandler : public XmlHandler {
public:
    std::unordered_map<std::string, Relationship> byId;
    std::vector<Relationship> inOrder;
    void startElement(const char* name, const char** atts) override {
        if (std::strcmp(name, "Relationship") != 0) return;
        const char* id = attribute(atts, "Id");
        const char* type = attribute(atts, "Type");
        const char* target = attribute(atts, "Target");
        const char* mode = attribute(atts, "TargetMode");
        if (id == nullptr || target == nullptr) return;
        Relationship r{type != nullptr ? type : "", target, mode != nullptr && std::strcmp(mode, "External") == 0};
        inOrder.push_back(r);
        // Of two with one Id some tools follow the first and others the last.
        if (!byId.emplace(id, std::move(r)).second && repeatedId.empty()) repeatedId = id;
    }
    std::string repeatedId;
    void endElement(const char*) override {}
    void characters(const char*, int) override {}
};

// The part a relationship target names, resolved against the directory of the
// part holding the relationship ("xl/"); absolute targets start at the root.
std::string resolveTarget(const std::string& baseDir, const std::string& target) {
    const std::string joined = !target.empty() && target[0] == '/' ? target.substr(1) : baseDir + target;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t slash = joined.find('/', start);
        if (slash == std::string::npos) slash = joined.size();
        const std::string seg = joined.substr(start, slash - start);
        if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segments.push_back(seg);
        }
        start = slash + 1;
    }
    std::string out;
    for (const auto& seg : segments) {
        if (!out.empty()) out += '/';
        out += seg;
    }
    return out;
}

std::string directoryOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string relsPartOf(const std::string& part) {
    const std::size_t slash = part.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? part : part.substr(slash + 1);
    return dir + "_rels/" + base + ".rels";
}

struct Tab {
    QString name;
    std::string relId;
};

class WorkbookHandler : public XmlHandler {
public:
    std::vector<Tab> tabs;
    bool date1904 = false;
    void startElement(const char* name, const char** atts) override {
        if (std::strcmp(name, "workbookPr") == 0) {
            const char* v = attribute(atts, "date1904");
            date1904 = v != nullptr && (std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0);
        } else if (std::strcmp(name, "sheet") == 0) {
            const char* n = attribute(atts, "name");
            const char* id = nullptr;
            // The relationship id is r:id (its prefix may vary); "id" without a prefix is not it.
            for (const char** a = atts; *a != nullptr; a += 2)
                if (std::strchr(a[0], ':') != nullptr && std::strcmp(localName(a[0]), "id") == 0) id = a[1];
            tabs.push_back(Tab{n != nullptr ? QString::fromUtf8(n) : QString(), id != nullptr ? id : ""});
        }
    }
    void endElement(const char*) override {}
    void characters(const char*, int) override {}
};

// How a cell format shows its number: plainly, as a date or time, or as an
// elapsed time ("[hh]:mm"), which is a duration and not a day of 1900.
using Shown = NumberShown;

class StylesHandler : public XmlHandler {
public:
    std::unordered_map<std::int64_t, Shown> custom;
    std::vector<std::int64_t> xfFormats;  // numFmtId of each cellXfs entry
    void startElement(const char* name, const char** atts) override {
        ++depth_;
        if (std::strcmp(name, "numFmt") == 0) {
            const char* id = attribute(atts, "numFmtId");
            const char* code = attribute(atts, "formatCode");
            if (id != nullptr && code != nullptr)
                if (const auto n = parseInt(id)) {
                    const QString c = QString::fromUtf8(code);
                    custom[*n] = numberShownByCode(c);
                }
        } else if (std::strcmp(name, "cellXfs") == 0) {
            cellXfsDepth_ = depth_;
        } else if (cellXfsDepth_ > 0 && depth_ == cellXfsDepth_ + 1 && std::strcmp(name, "xf") == 0) {
            const char* id = attribute(atts, "numFmtId");
            std::int64_t n = 0;
            if (id != nullptr)
                if (const auto v = parseInt(id)) n = *v;
            xfFormats.push_back(n);
        }
    }
    void endElement(const char* name) override {
        if (std::strcmp(name, "cellXfs") == 0 && depth_ == cellXfsDepth_) cellXfsDepth_ = 0;
        --depth_;
    }
    void characters(const char*, int) override {}

    std::vector<Shown> shownAs() const {
        std::vector<Shown> out;
        out.reserve(xfFormats.size());
        for (const std::int64_t id : xfFormats) {
            const auto it = custom.find(id);
            if (it != custom.end()) out.push_back(it->second);
            else out.push_back(id >= 0 && id < 1000 ? builtinNumberShown(static_cast<int>(id)) : Shown::Plain);
        }
        return out;
    }

private:
    int depth_ = 0;
    int cellXfsDepth_ = 0;
};

// A text gathered as UTF-8 with its escapes needs at most 7 bytes (_xHHHH_)
// for each of its UTF-16 units: past this many bytes it is longer than any
// cell may hold, and the rest of it need not be kept.
constexpr std::size_t kMaxCellTextBytes = 7 * kMaxCellTextUnits;

// Collects the text of <t> elements inside the current string item, leaving
// phonetic runs (<rPh>) out: shared strings and inline strings share it. A
// text too long for a cell is only marked.
class RichTextCollector {
public:
    void reset() {
        text_.clear();
        inT_ = false;
        tooLong_ = false;
        phonetic_ = 0;
    }
    void start(const char* name) {
        if (std::strcmp(name, "rPh") == 0) ++phonetic_;
        else if (std::strcmp(name, "t") == 0 && phonetic_ == 0) inT_ = true;
    }
    void end(const char* name) {
        if (std::strcmp(name, "rPh") == 0 && phonetic_ > 0) --phonetic_;
        else if (std::strcmp(name, "t") == 0) inT_ = false;
    }
    void characters(const char* data, int size) {
        if (!inT_ || tooLong_) return;
        if (static_cast<std::size_t>(size) > kMaxCellTextBytes - text_.size()) {
            tooLong_ = true;
            std::string().swap(text_);
            return;
        }
        text_.append(data, static_cast<std::size_t>(size));
    }
    SheetData::TextId addTo(SheetData& pool) const {
        return tooLong_ ? pool.addTooLongText() : addDecodedText(pool, text_);
    }

private:
    std::string text_;
    bool inT_ = false;
    bool tooLong_ = false;
    int phonetic_ = 0;
};

// The shared strings go straight into the sheet's text pool, string i as
// text i, each as the workbook holds it.
struct SharedStrings {
    std::size_t count = 0;
};

class SharedStringsHandler : public XmlHandler {
public:
    explicit SharedStringsHandler(SheetData& pool) : pool_(pool) {}
    SharedStrings table;
    void startElement(const char* name, const char**) override {
        if (std::strcmp(name, "si") == 0) {
            inSi_ = true;
            rich_.reset();
        } else if (inSi_) {
            rich_.start(name);
        }
    }
    void endElement(const char* name) override {
        if (std::strcmp(name, "si") == 0) {
            rich_.addTo(pool_);
            ++table.count;
            inSi_ = false;
        } else if (inSi_) {
            rich_.end(name);
        }
    }
    void characters(const char* data, int size) override {
        if (inSi_) rich_.characters(data, size);
    }

private:
    SheetData& pool_;
    bool inSi_ = false;
    RichTextCollector rich_;
};

// ISO 8601 date or date-time ("2024-03-15", "2024-03-15T10:30:00.5Z") as a
// day number; nullopt when it is not one.
std::optional<double> parseIsoDateTime(std::string_view s) {
    s = trimmed(s);
    auto num = [&](std::size_t pos, std::size_t len) -> std::optional<int> {
        if (pos + len > s.size()) return std::nullopt;
        int v = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (s[i] < '0' || s[i] > '9') return std::nullopt;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    const auto y = num(0, 4), mo = num(5, 2), d = num(8, 2);
    if (!y || !mo || !d || s[4] != '-' || s[7] != '-' || !rtl::IsValidDate(*y, *mo, *d)) return std::nullopt;
    double value = rtl::EncodeDate(*y, *mo, *d);
    if (s.size() == 10) return value;
    if (s[10] != 'T' && s[10] != ' ') return std::nullopt;
    const auto h = num(11, 2), mi = num(14, 2);
    if (!h || !mi || s[13] != ':' || *h > 23 || *mi > 59) return std::nullopt;
    double seconds = 0;
    std::size_t pos = 16;
    if (pos < s.size() && s[pos] == ':') {
        std::size_t end = pos + 1;
        while (end < s.size() && ((s[end] >= '0' && s[end] <= '9') || s[end] == '.')) ++end;
        const auto sec = parseNumber(s.substr(pos + 1, end - pos - 1));
        if (!sec || *sec < 0 || *sec >= 61) return std::nullopt;
        seconds = *sec;
        pos = end;
    }
    const std::string_view zone = s.substr(pos);
    if (!(zone.empty() || zone == "Z" || ((zone[0] == '+' || zone[0] == '-') && zone.size() <= 6))) return std::nullopt;
    return value + (*h * 3600.0 + *mi * 60.0 + seconds) / 86400.0;
}

class SheetHandler : public XmlHandler {
public:
    SheetHandler(SheetData& out, const SharedStrings& strings, const std::vector<Shown>& shownAs,
                 bool date1904, const QString& fileName, const QString& sheetName, std::size_t reserveLimit)
        : out_(out), strings_(strings), shownAs_(shownAs), date1904_(date1904), fileName_(fileName),
          sheetName_(sheetName), reserveLimit_(reserveLimit) {}

    void startElement(const char* name, const char** atts) override {
        if (inCell_) {
            if (inIs_) {
                rich_.start(name);
            } else if (name[0] == 'v' && name[1] == '\0') {
                inV_ = true;
                hasV_ = true;
                valueTooLong_ = false;
                value_.clear();
            } else if (std::strcmp(name, "is") == 0) {
                inIs_ = true;
                hasIs_ = true;
                rich_.reset();
            }
            return;
        }
        if (name[0] == 'c' && name[1] == '\0') {
            if (!inSheetData_) return;
            startCell(atts);
        } else if (std::strcmp(name, "row") == 0) {
            if (!inSheetData_) return;
            const char* r = attribute(atts, "r");
            std::int64_t row = row_ + 1;
            if (r != nullptr) {
                const auto n = parseInt(r);
                if (!n) fail(QStringLiteral("la fila «%1» de la hoja «%2» no tiene un número válido").arg(QString::fromUtf8(r), sheetName_));
                row = *n;
            }
            if (row < 1 || row > kMaxRows)
                fail(QStringLiteral("la fila %1 de la hoja «%2» está fuera de los límites de una hoja (XFD1048576)").arg(row).arg(sheetName_));
            row_ = static_cast<std::int32_t>(row);
            column_ = 0;
        } else if (std::strcmp(name, "sheetData") == 0) {
            inSheetData_ = true;
        } else if (std::strcmp(name, "dimension") == 0) {
            reserveFor(attribute(atts, "ref"));
        }
    }

    void endElement(const char* name) override {
        if (!inCell_) {
            if (std::strcmp(name, "sheetData") == 0) inSheetData_ = false;
            return;
        }
        if (inIs_) {
            if (std::strcmp(name, "is") == 0) inIs_ = false;
            else rich_.end(name);
            return;
        }
        if (name[0] == 'v' && name[1] == '\0') {
            inV_ = false;
        } else if (name[0] == 'c' && name[1] == '\0') {
            inCell_ = false;
            finishCell();
        }
    }

    void characters(const char* data, int size) override {
        if (inV_) {
            if (valueTooLong_) return;
            if (holdsText() && static_cast<std::size_t>(size) > kMaxCellTextBytes - value_.size()) {
                valueTooLong_ = true;
                std::string().swap(value_);
                return;
            }
            value_.append(data, static_cast<std::size_t>(size));
            out_.checkTextRoom(value_.size());
        } else if (inIs_) {
            rich_.characters(data, size);
        }
    }

private:
    enum class Type { Number, Shared, Str, Inline, Boolean, Error, Date };

    // Whether the <v> of this cell is a text (kept whole only up to a cell's length).
    bool holdsText() const { return type_ == Type::Str || type_ == Type::Inline || type_ == Type::Error; }

    [[noreturn]] void fail(const QString& what) const { throw ReadError(readFailure(fileName_, what)); }

    // The declared used range ("A1:L100001") sizes the cell array up front;
    // it can be wrong or hostile, so it is only a hint, capped by what the
    // part's size can hold.
    void reserveFor(const char* ref) {
        if (ref == nullptr) return;
        const std::string_view range(ref);
        const std::size_t colon = range.find(':');
        if (colon == std::string_view::npos) return;
        const auto from = parseRef(range.substr(0, colon));
        const auto to = parseRef(range.substr(colon + 1));
        if (!from || !to || to->row < from->row || to->column < from->column) return;
        const auto cells = static_cast<std::uint64_t>(to->row - from->row + 1) * static_cast<std::uint64_t>(to->column - from->column + 1);
        out_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(cells, reserveLimit_)));
    }

    void startCell(const char** atts) {
        const char* r = nullptr;
        const char* t = nullptr;
        const char* s = nullptr;
        for (const char** a = atts; *a != nullptr; a += 2) {
            const char* n = localName(a[0]);
            if (n[1] != '\0') continue;
            if (n[0] == 'r') r = a[1];
            else if (n[0] == 't') t = a[1];
            else if (n[0] == 's') s = a[1];
        }
        if (r != nullptr) {
            const auto ref = parseRef(r);
            if (!ref)
                fail(QStringLiteral("la referencia de celda «%1» de la hoja «%2» no es válida").arg(QString::fromUtf8(r), sheetName_));
            if (ref->row < 1 || ref->row > kMaxRows || ref->column > kMaxColumns)
                fail(QStringLiteral("la celda «%1» de la hoja «%2» está fuera de los límites de una hoja (XFD1048576)")
                         .arg(QString::fromUtf8(r), sheetName_));
            cellRow_ = static_cast<std::int32_t>(ref->row);
            cellColumn_ = static_cast<std::int32_t>(ref->column);
        } else {
            cellRow_ = row_ == 0 ? 1 : row_;
            cellColumn_ = column_ + 1;
            if (cellColumn_ > kMaxColumns)
                fail(QStringLiteral("la fila %1 de la hoja «%2» tiene celdas más allá de la columna XFD").arg(cellRow_).arg(sheetName_));
        }
        row_ = cellRow_;
        column_ = cellColumn_;
        type_ = Type::Number;
        if (t != nullptr) {
            if (std::strcmp(t, "s") == 0) type_ = Type::Shared;
            else if (std::strcmp(t, "str") == 0) type_ = Type::Str;
            else if (std::strcmp(t, "inlineStr") == 0) type_ = Type::Inline;
            else if (std::strcmp(t, "b") == 0) type_ = Type::Boolean;
            else if (std::strcmp(t, "e") == 0) type_ = Type::Error;
            else if (std::strcmp(t, "d") == 0) type_ = Type::Date;
            else if (std::strcmp(t, "n") != 0)
                fail(QStringLiteral("la celda %1 de la hoja «%2» tiene un tipo desconocido («%3»)")
                         .arg(cellName(cellRow_, cellColumn_), sheetName_, QString::fromUtf8(t)));
        }
        shown_ = Shown::Plain;
        if (s != nullptr) {
            const auto idx = parseInt(s);
            if (idx && *idx >= 0 && static_cast<std::uint64_t>(*idx) < shownAs_.size())
                shown_ = shownAs_[static_cast<std::size_t>(*idx)];
        }
        inCell_ = true;
        hasV_ = hasIs_ = inV_ = inIs_ = valueTooLong_ = false;
        value_.clear();
    }

    [[noreturn]] void badValue(const char* what) const {
        fail(QStringLiteral("la celda %1 de la hoja «%2» tiene %3 («%4»); el archivo está dañado")
                 .arg(cellName(cellRow_, cellColumn_), sheetName_, QString::fromUtf8(what),
                      qs(std::string_view(value_).substr(0, 40))));
    }

    // The <v> text of a str or inlineStr cell, into the pool.
    SheetData::TextId valueText() {
        return valueTooLong_ ? out_.addTooLongText() : addDecodedText(out_, value_);
    }

    void putText(SheetData::TextId text) { out_.setText(cellRow_, cellColumn_, CellKind::Text, text); }

    void finishCell() {
        Cell cell;
        switch (type_) {
        case Type::Number: {
            if (!hasV_ || trimmed(value_).empty()) return;  // styled blank, or a formula never calculated
            const auto v = parseNumber(value_);
            if (!v) badValue("un número no válido");
            cell = numberCell(*v, shown_, date1904_);
            break;
        }
        case Type::Shared: {
            if (!hasV_) return;
            const auto idx = parseInt(value_);
            if (!idx || *idx < 0 || static_cast<std::uint64_t>(*idx) >= strings_.count)
                badValue("un texto compartido que no existe");
            putText(static_cast<SheetData::TextId>(*idx));
            return;
        }
        case Type::Str:
            if (!hasV_) return;
            putText(valueText());
            return;
        case Type::Inline:
            if (!hasIs_ && !hasV_) return;
            putText(hasIs_ ? rich_.addTo(out_) : valueText());
            return;
        case Type::Boolean: {
            if (!hasV_) return;
            const std::string_view v = trimmed(value_);
            cell.kind = CellKind::Boolean;
            if (v == "1" || v == "true") cell.number = 1;
            else if (v == "0" || v == "false") cell.number = 0;
            else badValue("un valor lógico no válido");
            break;
        }
        case Type::Error:
            if (!hasV_) return;
            if (valueTooLong_) {
                out_.setText(cellRow_, cellColumn_, CellKind::Error, out_.addTooLongText());
                return;
            }
            cell.kind = CellKind::Error;
            cell.text = qs(trimmed(value_));
            break;
        case Type::Date: {
            if (!hasV_) return;
            const auto v = parseIsoDateTime(value_);
            if (!v) badValue("una fecha no válida");
            cell.kind = CellKind::DateTime;
            cell.number = *v;
            break;
        }
        }
        out_.set(cellRow_, cellColumn_, std::move(cell));
    }

    SheetData& out_;
    const SharedStrings& strings_;
    const std::vector<Shown>& shownAs_;
    bool date1904_;
    const QString& fileName_;
    const QString& sheetName_;
    std::size_t reserveLimit_;

    bool inSheetData_ = false;
    bool inCell_ = false, inV_ = false, inIs_ = false, hasV_ = false, hasIs_ = false, valueTooLong_ = false;
    Shown shown_ = Shown::Plain;
    Type type_ = Type::Number;
    std::int32_t row_ = 0, column_ = 0;
    std::int32_t cellRow_ = 0, cellColumn_ = 0;
    std::string value_;
    RichTextCollector rich_;
};

const Relationship* findByType(const std::vector<Relationship>& rels, std::string_view typeSuffix) {
    for (const auto& r : rels)
        if (!r.external && endsWith(r.type, typeSuffix)) return &r;
    return nullptr;
}

}  // namespace

namespace {

WorkbookData readPackage(ZipArchive& zip, std::size_t maxSheetBytes) {
    const QString& fileName = zip.fileName();
    const auto fail = [&](const QString& what) { throw ReadError(readFailure(fileName, what)); };

    if (zip.contains("mimetype") || (zip.contains("content.xml") && !zip.contains("xl/workbook.xml")))
        fail(QStringLiteral("es una hoja de cálculo OpenDocument (.ods), que no se puede leer; ábrala y guárdela como libro de Excel (.xlsx)"));

    const auto parseRels = [&](const std::string& part, RelsHandler& rels) {
        parsePart(zip, part, rels);
        if (!rels.repeatedId.empty())
            fail(QStringLiteral("el archivo está dañado: la parte «%1» tiene dos relaciones con el identificador «%2»")
                     .arg(qs(part), qs(rels.repeatedId)));
    };
    std::string workbookPart = "xl/workbook.xml";
    if (zip.contains("_rels/.rels")) {
        RelsHandler root;
        parseRels("_rels/.rels", root);
        if (const Relationship* doc = findByType(root.inOrder, "/officeDocument")) workbookPart = resolveTarget("", doc->target);
    }
    if (endsWith(workbookPart, ".bin") || zip.contains("xl/workbook.bin"))
        fail(QStringLiteral("es un libro binario de Excel (.xlsb), que no se puede leer; ábralo y guárdelo como libro de Excel (.xlsx)"));
    if (!zip.contains(workbookPart))
        fail(QStringLiteral("no es un libro de Excel: falta la parte «%1»").arg(qs(workbookPart)));

    WorkbookHandler book;
    parsePart(zip, workbookPart, book);
    RelsHandler rels;
    const std::string relsPart = relsPartOf(workbookPart);
    if (zip.contains(relsPart)) parseRels(relsPart, rels);
    const std::string baseDir = directoryOf(workbookPart);

    WorkbookData data;
    data.firstWorksheet = SheetData(maxSheetBytes);
    std::string firstWorksheetPart;
    QString firstWorksheetName;
    for (const Tab& tab : book.tabs) {
        const auto it = rels.byId.find(tab.relId);
        const bool worksheet = it != rels.byId.end() && !it->second.external && endsWith(it->second.type, "/worksheet");
        data.sheets.push_back(SheetInfo{tab.name, worksheet});
        if (worksheet && firstWorksheetPart.empty()) {
            firstWorksheetPart = resolveTarget(baseDir, it->second.target);
            firstWorksheetName = tab.name;
        }
    }
    if (firstWorksheetPart.empty()) fail(QStringLiteral("el libro no tiene ninguna hoja de cálculo"));

    std::vector<Shown> shownAs;
    if (const Relationship* r = findByType(rels.inOrder, "/styles")) {
        StylesHandler styles;
        const std::string part = resolveTarget(baseDir, r->target);
        if (zip.contains(part)) {
            parsePart(zip, part, styles);
            shownAs = styles.shownAs();
        }
    }
    SharedStrings strings;
    if (const Relationship* r = findByType(rels.inOrder, "/sharedStrings")) {
        const std::string part = resolveTarget(baseDir, r->target);
        SharedStringsHandler sst(data.firstWorksheet);
        if (zip.contains(part)) {
            parsePart(zip, part, sst);
            strings = std::move(sst.table);
        }
    }
    // The hint may not reserve more cells than the part can hold: a cell takes
    // at least 12 bytes of XML ("<c><v>1</v></c>"), cell data rarely deflates
    // better than 16:1 (the compressed size is real bytes of the file, the
    // inflated size only a claim), and never more than 2 million cells (about
    // 100 MB).
    const ZipArchive::DeclaredSizes sizes = zip.declaredSizes(firstWorksheetPart);
    const std::size_t reserveLimit = static_cast<std::size_t>(
        std::min({sizes.inflated / 12, sizes.compressed * 16 / 12, std::uint64_t{2'000'000}}));
    SheetHandler sheet(data.firstWorksheet, strings, shownAs, book.date1904, fileName, firstWorksheetName, reserveLimit);
    parsePart(zip, firstWorksheetPart, sheet);
    data.firstWorksheet.finish();
    return data;
}

WorkbookData readGuarded(ZipArchive& zip, std::size_t maxSheetBytes) {
    try {
        return readPackage(zip, maxSheetBytes);
    } catch (const SheetTooLarge& e) {
        throw ReadError(readFailure(zip.fileName(), e.message()));
    }
}

}  // namespace

WorkbookData readXlsx(const QByteArray& bytes, const QString& fileName, ZipLimits limits, std::size_t maxSheetBytes) {
    ZipArchive zip(bytes, fileName, limits);
    return readGuarded(zip, maxSheetBytes);
}

WorkbookData readXlsxFile(int fd, const QString& fileName, ZipLimits limits, std::size_t maxSheetBytes) {
    ZipArchive zip(fd, fileName, limits);
    return readGuarded(zip, maxSheetBytes);
}

}  // namespace xl
