#include "platform/registry/hive.h"

#include "platform/registry/registry_exception.h"

#include <QStringDecoder>

#include <algorithm>
#include <new>
#include <optional>
#include <stdexcept>

namespace reg {

namespace {

const QString kHeader = QStringLiteral("VEXALON REGISTRY Version 1");


// A name the file can hold on one line and in UTF-8.
bool isStorableName(QStringView name) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
    }
    return name.isValidUtf16();
}

// The start of a long name, enough to recognize it in a message.
QString shortened(QStringView name) {
    constexpr qsizetype kShown = 40;
    return name.size() <= kShown ? name.toString() : name.first(kShown).toString() + QChar(0x2026);
}

// Why the file cannot hold one name of a key path, or an empty text.
QString keyNameFault(QStringView name) {
    if (name.size() > kMaxKeyName)
        return QStringLiteral("el nombre de clave \"%1\" pasa de %2 caracteres").arg(shortened(name)).arg(kMaxKeyName);
    if (!isStorableName(name)) return QStringLiteral("el nombre de la clave tiene caracteres de control");
    return {};
}

QString depthFault() { return QStringLiteral("la clave tiene más de %1 niveles").arg(kMaxKeyDepth); }

// Why the file cannot hold a value of this name, or an empty text.
QString valueNameFault(QStringView name) {
    if (name.size() > kMaxValueName)
        return QStringLiteral("el nombre del valor \"%1\" pasa de %2 caracteres").arg(shortened(name)).arg(kMaxValueName);
    if (!isStorableName(name)) return QStringLiteral("el nombre del valor tiene caracteres de control");
    return {};
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

std::uint32_t hexValue(QChar c) {
    const char16_t u = c.unicode();
    return u <= u'9' ? u - u'0' : (u | 0x20) - u'a' + 10;
}

[[noreturn]] void failAt(const QString& fileName, qsizetype lineNo, const QString& what) {
    throw ERegistryException(
        QStringLiteral("El archivo de configuración del usuario %1 está dañado "
                       "(línea %2: %3); no se modificó. Corríjalo o bórrelo.")
            .arg(fileName, QString::number(lineNo), what));
}

// One line of the file being parsed, with a cursor.
class LineReader {
public:
    LineReader(QString text, const QString& fileName, qsizetype lineNo)
        : text_(std::move(text)), fileName_(fileName), lineNo_(lineNo) {}

    [[noreturn]] void fail(const QString& what) const { failAt(fileName_, lineNo_, what); }

    bool atEnd() const { return pos_ >= text_.size(); }
    QChar peek() const { return atEnd() ? QChar() : text_[pos_]; }
    void skipBlanks() {
        while (!atEnd() && (text_[pos_] == u' ' || text_[pos_] == u'\t')) ++pos_;
    }
    bool take(QChar c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    bool takeWord(const QString& w) {
        if (QStringView(text_).mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        pos_ += w.size();
        return true;
    }
    void expectEnd() {
        skipBlanks();
        if (!atEnd()) fail(QStringLiteral("texto de más al final de la línea"));
    }

    // A value's name, up to the first quote that is not escaped; the cursor
    // is past the opening quote.
    QString readName() {
        QString out;
        while (true) {
            if (atEnd()) fail(QStringLiteral("falta el cierre \""));
            const QChar c = text_[pos_++];
            if (c == u'"') return out;
            if (c == u'\\' && (peek() == u'\\' || peek() == u'"')) {
                out += text_[pos_++];
            } else {
                out += c;
            }
            // Checked as it grows, so that a runaway name stops at its bound.
            if (out.size() > kMaxValueName) fail(valueNameFault(out));
        }
    }

    // A value's text, up to the last quote of the line; the cursor is past
    // the opening quote.
    QString readText() {
        const qsizetype close = text_.lastIndexOf(u'"');
        if (close < pos_) fail(QStringLiteral("falta el cierre \""));
        QString out;
        out.reserve(close - pos_);
        while (pos_ < close) {
            const QChar c = text_[pos_++];
            if (c == u'\\' && pos_ < close && (text_[pos_] == u'\\' || text_[pos_] == u'"')) {
                out += text_[pos_++];
            } else {
                out += c;
            }
        }
        ++pos_;
        return out;
    }

    // A run of hexadecimal digits (at most maxDigits), or nothing.
    std::optional<std::uint32_t> readHex(int maxDigits) {
        const qsizetype start = pos_;
        while (!atEnd() && isHexDigit(text_[pos_]) && pos_ - start < maxDigits) ++pos_;
        if (pos_ == start) return std::nullopt;
        std::uint32_t n = 0;
        for (qsizetype i = start; i < pos_; ++i) n = (n << 4) | hexValue(text_[i]);
        return n;
    }

private:
    QString text_;
    QString fileName_;
    qsizetype lineNo_;
    qsizetype pos_ = 0;
};

struct Header {
    QString path;  // its names joined by "\" (a name never holds one)
    QString stamp;
};

// "[...]" and what follows it. In the name every backslash separates two
// names, single or doubled, but "\]" is a "]" inside a name; the name ends
// at the last "]" of the line. Bounds are checked as the name grows, so a
// runaway name stops at its bound.
Header parseHeader(const QString& line, const LineReader& in) {
    const qsizetype close = line.lastIndexOf(u']');
    if (close < 1) in.fail(QStringLiteral("falta el cierre ]"));
    Header h;
    h.path.reserve(close);
    qsizetype depth = 0;
    qsizetype partStart = -1;  // where the name being read starts in h.path
    const auto endPart = [&] {
        if (partStart < 0) return;
        if (const QString fault = keyNameFault(QStringView(h.path).sliced(partStart)); !fault.isEmpty()) in.fail(fault);
        partStart = -1;
    };
    for (qsizetype i = 1; i < close; ++i) {
        QChar c = line[i];
        if (c == u'\\' && !(i + 1 < close && line[i + 1] == u']')) {
            endPart();
            if (i + 1 < close && line[i + 1] == u'\\') ++i;
            continue;
        }
        if (c == u'\\') c = line[++i];  // "\]"
        if (partStart < 0) {
            if (++depth > kMaxKeyDepth) in.fail(depthFault());
            if (!h.path.isEmpty()) h.path += u'\\';
            partStart = h.path.size();
        }
        h.path += c;
        if (h.path.size() - partStart > kMaxKeyName) in.fail(keyNameFault(QStringView(h.path).sliced(partStart)));
    }
    endPart();
    if (h.path.isEmpty()) in.fail(QStringLiteral("clave sin nombre"));
    h.stamp = line.mid(close + 1).trimmed();
    for (const QChar c : h.stamp) {
        if (!c.isDigit()) in.fail(QStringLiteral("texto de más tras el nombre de la clave"));
    }
    return h;
}

QString quoted(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    out += u'"';
    for (const QChar c : s) {
        if (c == u'\\' || c == u'"') out += u'\\';
        out += c;
    }
    out += u'"';
    return out;
}

void appendHeaderPath(QString& out, const QString& path) {
    for (const QChar c : path) {
        if (c == u'\\') {
            out += u'\\';
        } else if (c == u']') {
            out += u'\\';
        }
        out += c;
    }
}

void appendHexList(QString& out, const QByteArray& bytes) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (i > 0) out += u',';
        out += QChar(kDigits[b >> 4]);
        out += QChar(kDigits[b & 0xf]);
    }
}

// The text as UTF-16LE with its terminating NUL, as the platform stores it.
QByteArray utf16Bytes(const QString& text) {
    QByteArray out;
    out.reserve((text.size() + 1) * 2);
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xff));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    out.append(2, '\0');
    return out;
}

// hex:01,02,... (the cursor is past the colon); an empty list is allowed.
QByteArray readHexBytes(LineReader& in) {
    QByteArray bytes;
    in.skipBlanks();
    if (in.atEnd()) return bytes;
    while (true) {
        in.skipBlanks();
        const auto b = in.readHex(2);
        if (!b) in.fail(QStringLiteral("se esperaba un byte hexadecimal"));
        bytes.append(static_cast<char>(*b));
        in.skipBlanks();
        if (in.atEnd()) return bytes;
        if (!in.take(u',')) in.fail(QStringLiteral("se esperaba una coma entre bytes"));
    }
}

// Bytes written with hex(N): for a type that has a text or number form are
// turned into that form, so every later reader sees one shape per type. Of a
// text, only the terminating NUL is dropped.
void normalizeBytes(Value& v) {
    if ((v.type == 1 || v.type == 2) && v.bytes.size() % 2 == 0) {
        QString s;
        s.reserve(v.bytes.size() / 2);
        for (qsizetype i = 0; i + 1 < v.bytes.size(); i += 2) {
            s += QChar(static_cast<char16_t>(static_cast<unsigned char>(v.bytes[i]) |
                                             (static_cast<unsigned char>(v.bytes[i + 1]) << 8)));
        }
        if (s.endsWith(QChar(u'\0'))) s.chop(1);
        v.form = Form::Text;
        v.text = s;
        v.bytes.clear();
    } else if (v.type == 4 && v.bytes.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(v.bytes.constData());
        v.form = Form::DWord;
        v.dword = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        v.bytes.clear();
    }
}

Value parseValue(LineReader& in) {
    Value v;
    if (in.take(u'@')) {
        v.name.clear();
    } else {
        in.take(u'"');
        v.name = in.readName();
        if (const QString fault = valueNameFault(v.name); !fault.isEmpty()) in.fail(fault);
    }
    in.skipBlanks();
    if (!in.take(u'=')) in.fail(QStringLiteral("se esperaba \"=\" tras el nombre del valor"));
    in.skipBlanks();
    if (in.take(u'"')) {
        v.type = static_cast<std::uint32_t>(ValueType::String);
        v.form = Form::Text;
        v.text = in.readText();
    } else if (in.takeWord(QStringLiteral("str("))) {
        const auto t = in.readHex(8);
        if (!t || !in.take(u')') || !in.take(u':') || !in.take(u'"'))
            in.fail(QStringLiteral("se esperaba str(N):\"texto\""));
        v.type = *t;
        v.form = Form::Text;
        v.text = in.readText();
    } else if (in.takeWord(QStringLiteral("dword:"))) {
        const auto d = in.readHex(8);
        if (!d) in.fail(QStringLiteral("se esperaba dword: y hasta ocho cifras hexadecimales"));
        v.type = static_cast<std::uint32_t>(ValueType::DWord);
        v.form = Form::DWord;
        v.dword = *d;
    } else if (in.takeWord(QStringLiteral("hex"))) {
        v.type = static_cast<std::uint32_t>(ValueType::Binary);
        if (in.take(u'(')) {
            const auto t = in.readHex(8);
            if (!t || !in.take(u')')) in.fail(QStringLiteral("se esperaba hex(N):"));
            v.type = *t;
        }
        if (!in.take(u':')) in.fail(QStringLiteral("se esperaba \":\" tras hex"));
        v.form = Form::Bytes;
        v.bytes = readHexBytes(in);
        normalizeBytes(v);
    } else {
        in.fail(QStringLiteral("tipo de dato desconocido"));
    }
    in.expectEnd();
    return v;
}

// Whether the line starts a hex value ("name"=hex: or "name"=hex(N):),
// whose byte list may go on over the next lines. Looks only at the start of
// the line, which the lines joined to it never change.
bool startsHexValue(QStringView line) {
    qsizetype i = 0;
    const qsizetype n = line.size();
    if (n > 0 && line[0] == u'@') {
        i = 1;
    } else if (n > 0 && line[0] == u'"') {
        for (i = 1; i < n && line[i] != u'"'; ++i) {
            if (line[i] == u'\\') ++i;
        }
        if (i >= n) return false;
        ++i;
    } else {
        return false;
    }
    const auto blanks = [&] {
        while (i < n && (line[i] == u' ' || line[i] == u'\t')) ++i;
    };
    blanks();
    if (i >= n || line[i] != u'=') return false;
    ++i;
    blanks();
    if (line.sliced(i).left(3).compare(u"hex", Qt::CaseInsensitive) != 0) return false;
    i += 3;
    if (i < n && line[i] == u'(') {
        const qsizetype digits = ++i;
        while (i < n && isHexDigit(line[i])) ++i;
        if (i == digits || i >= n || line[i] != u')') return false;
        ++i;
    }
    return i < n && line[i] == u':';
}

}  // namespace

bool sameData(const Value& a, const Value& b) {
    return a.type == b.type && a.form == b.form && a.text == b.text && a.dword == b.dword &&
           a.bytes == b.bytes;
}

Key::Key(QString path) : path_(std::move(path)) {}

// Most keys hold a handful of values; those are searched in place, and only
// a key with more gets an index.
constexpr std::size_t kIndexFrom = 8;

std::optional<std::size_t> Key::position(const QString& name) const {
    if (values_.size() < kIndexFrom) {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (QString::compare(values_[i].name, name, Qt::CaseInsensitive) == 0) return i;
        }
        return std::nullopt;
    }
    const std::uint32_t at = index_.find(NameIndex::hashOf(name), [&](std::uint32_t i) {
        return QString::compare(values_[i].name, name, Qt::CaseInsensitive) == 0;
    });
    return at == NameIndex::kNone ? std::nullopt : std::optional<std::size_t>(at);
}

const Value* Key::findValue(const QString& name) const {
    const auto at = position(name);
    return at ? &values_[*at] : nullptr;
}

void Key::setValue(Value value) {
    if (const QString fault = valueNameFault(value.name); !fault.isEmpty()) {
        throw ERegistryException(QStringLiteral("El valor \"%1\" no se puede guardar en el registro: %2 (clave %3)")
                                     .arg(shortened(value.name), fault, path_));
    }
    if (const auto at = position(value.name)) {
        Value& v = values_[*at];
        value.name = v.name;
        value.before = std::move(v.before);
        v = std::move(value);
        return;
    }
    append(std::move(value));
}

void Key::append(Value value) {
    values_.push_back(std::move(value));
    if (values_.size() == kIndexFrom) {
        for (std::uint32_t i = 0; i < values_.size(); ++i) index_.insert(i, NameIndex::hashOf(values_[i].name));
    } else if (values_.size() > kIndexFrom) {
        index_.insert(static_cast<std::uint32_t>(values_.size() - 1), NameIndex::hashOf(values_.back().name));
    }
}

QString normalizeKeyPath(const QString& path) {
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

QString keyPathFault(const QString& path) {
    qsizetype depth = 0;
    for (const QStringView part : QStringView(path).tokenize(u'\\', Qt::SkipEmptyParts)) {
        if (++depth > kMaxKeyDepth) return depthFault();
        if (QString fault = keyNameFault(part); !fault.isEmpty()) return fault;
    }
    return {};
}

Hive::Hive()
    : nodes_{Node{kNone, kNone, 0, kNone, kNone, 0, 0}},
      preamble_(QStringLiteral(";; Per-user settings of the Vexalon programs (HKEY_CURRENT_USER).\n"
                               ";; Edit only while no Vexalon program is running.\n")) {}

Hive Hive::parse(const QByteArray& text, const QString& fileName) {
    if (text.size() > kMaxFileBytes) {
        failAt(fileName, QByteArrayView(text).first(kMaxFileBytes).count('\n') + 1,
               QStringLiteral("el archivo pasa de %1 MiB, el tamaño mayor que se lee").arg(kMaxFileBytes >> 20));
    }
    // Within the bounds nothing should run out; should memory still do so,
    // the error is the registry's own, and the file is left as it is.
    try {
        return parseText(text, fileName);
    } catch (const ERegistryException&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ERegistryException(QStringLiteral("No hay memoria suficiente para leer el archivo de configuración "
                                                "del usuario %1; no se modificó.")
                                     .arg(fileName));
    } catch (const std::exception& e) {
        throw ERegistryException(QStringLiteral("No se pudo leer el archivo de configuración del usuario %1 (%2); "
                                                "no se modificó.")
                                     .arg(fileName, QString::fromLocal8Bit(e.what())));
    }
}

Hive Hive::parseText(const QByteArray& text, const QString& fileName) {
    const QByteArrayView all(text);
    qsizetype next = 0;    // where the next line starts
    qsizetype lineNo = 0;  // of the line last taken
    // The next line without its "\n" (nor a "\r" before it), decoded.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const auto takeLine = [&]() -> QString {
        const qsizetype nl = all.indexOf('\n', next);
        const qsizetype end = nl < 0 ? all.size() : nl;
        QByteArrayView raw = all.sliced(next, end - next);
        next = nl < 0 ? all.size() : nl + 1;
        ++lineNo;
        if (raw.endsWith('\r')) raw.chop(1);
        QString line = utf8.decode(raw);
        if (utf8.hasError()) failAt(fileName, lineNo, QStringLiteral("el texto no es UTF-8 válido"));
        if (lineNo == 1 && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        return line;
    };

    Hive hive;
    bool sawHeader = false;
    std::uint32_t current = kNone;  // the section being read
    QString pending;                // comment and blank lines waiting for the next item
    // For each key, the line each value read into it was read at.
    std::vector<std::vector<std::uint32_t>> valueLines;
    while (next < all.size()) {
        const QString raw = takeLine();
        const qsizetype startLine = lineNo;
        QString line = raw.trimmed();
        if (!sawHeader) {
            if (line.isEmpty()) continue;
            if (line != kHeader) failAt(fileName, startLine, QStringLiteral("falta la cabecera \"%1\"").arg(kHeader));
            sawHeader = true;
            hive.preamble_.clear();
            continue;
        }
        if (line.isEmpty() || line[0] == u';' || line[0] == u'#') {
            if (!line.isEmpty()) pending += raw;
            pending += u'\n';
            continue;
        }
        // A hex list may go on over several lines, each ending in a backslash.
        if (line.endsWith(u'\\') && startsHexValue(line)) {
            while (line.endsWith(u'\\') && next < all.size()) {
                line.chop(1);
                line += takeLine().trimmed();
            }
        }
        LineReader in(line, fileName, startLine);
        if (line[0] == u'[') {
            const Header h = parseHeader(line, in);
            const std::uint32_t k = hive.keyOfNode(hive.ensureNode(h.path));
            if (valueLines.size() <= k) valueLines.resize(k + 1);
            current = static_cast<std::uint32_t>(hive.sections_.size());
            hive.sections_.push_back(Section{k, std::exchange(pending, QString()), h.stamp});
            Key& key = hive.keys_[k];
            if (key.firstSection_ == kNone) key.firstSection_ = current;
            continue;
        }
        if (line[0] == u'"' || line[0] == u'@') {
            if (current == kNone) in.fail(QStringLiteral("valor fuera de toda clave"));
            Value v = parseValue(in);
            const std::uint32_t k = hive.sections_[current].key;
            Key& key = hive.keys_[k];
            if (const auto at = key.position(v.name)) {
                if (!sameData(key.values_[*at], v)) {
                    in.fail(QStringLiteral("el valor %1 ya figura con otro dato en la línea %2")
                                .arg(v.name.isEmpty() ? QStringLiteral("@") : quoted(shortened(v.name)))
                                .arg(valueLines[k][*at]));
                }
                continue;  // the same value twice: one is enough
            }
            valueLines[k].push_back(static_cast<std::uint32_t>(startLine));
            v.before = std::exchange(pending, QString());
            key.append(std::move(v));
            key.sectionOf_.push_back(current);
            key.fromFile_ = static_cast<std::uint32_t>(key.values_.size());
            continue;
        }
        in.fail(QStringLiteral("línea no reconocida"));
    }
    hive.trailer_ = std::move(pending);
    return hive;
}

namespace {

void writeValue(QString& out, const Value& v) {
    out += v.before;
    out += v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
    out += u'=';
    switch (v.form) {
        case Form::Text:
            if (!isStorableName(v.text)) {  // no escapes beyond \\ and \"
                out += QStringLiteral("hex(%1):").arg(v.type, 0, 16);
                appendHexList(out, utf16Bytes(v.text));
                break;
            }
            if (v.type != static_cast<std::uint32_t>(ValueType::String))
                out += QStringLiteral("str(%1):").arg(v.type, 0, 16);
            out += quoted(v.text);
            break;
        case Form::DWord:
            out += QStringLiteral("dword:%1").arg(v.dword, 8, 16, QChar(u'0'));
            break;
        case Form::Bytes:
            out += v.type == static_cast<std::uint32_t>(ValueType::Binary) ? QStringLiteral("hex:")
                                                                           : QStringLiteral("hex(%1):").arg(v.type, 0, 16);
            appendHexList(out, v.bytes);
            break;
    }
    out += u'\n';
}

void writeHeader(QString& out, const QString& path, const QString& stamp) {
    out += u'[';
    appendHeaderPath(out, path);
    out += u']';
    if (!stamp.isEmpty()) {
        out += u' ';
        out += stamp;
    }
    out += u'\n';
}

}  // namespace

QByteArray Hive::serialize() const {
    // The values read, listed by the section they were read in: start of
    // each section's run in `order`, then the runs (key, position).
    std::vector<std::uint32_t> start(sections_.size() + 1, 0);
    for (const Key& key : keys_) {
        for (const std::uint32_t s : key.sectionOf_) ++start[s + 1];
    }
    for (std::size_t s = 1; s < start.size(); ++s) start[s] += start[s - 1];
    std::vector<std::uint32_t> order(start.back());
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (const Key& key : keys_) {
            for (std::uint32_t at = 0; at < key.sectionOf_.size(); ++at) order[fill[key.sectionOf_[at]]++] = at;
        }
    }

    QString out = kHeader + u'\n';
    out += preamble_;
    for (std::uint32_t s = 0; s < sections_.size(); ++s) {
        const Section& section = sections_[s];
        const Key& key = keys_[section.key];
        out += section.before;
        writeHeader(out, key.path_, section.stamp);
        for (std::uint32_t i = start[s]; i < start[s + 1]; ++i) writeValue(out, key.values_[order[i]]);
        if (key.firstSection_ == s) {
            for (std::size_t at = key.fromFile_; at < key.values_.size(); ++at) writeValue(out, key.values_[at]);
        }
    }
    // Keys new to the file, each under a blank line; a parent that holds
    // nothing is named by its subkeys' sections.
    std::vector<bool> hasChildren(nodes_.size(), false);
    for (const Node& node : nodes_) {
        if (node.parent != kNone) hasChildren[node.parent] = true;
    }
    for (const Key& key : keys_) {
        if (key.firstSection_ != kNone || (key.values_.empty() && hasChildren[key.node_])) continue;
        out += u'\n';
        writeHeader(out, key.path_, QString());
        for (const Value& v : key.values_) writeValue(out, v);
    }
    out += trailer_;
    return out.toUtf8();
}

std::uint32_t NameIndex::hashOf(QStringView name, std::uint32_t salt) {
    // FNV-1a over the salt and the folded code points, from the process's
    // random seed, then MurmurHash3's finalizer so that every bit of the
    // result depends on all of them.
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    std::uint64_t h = (0xcbf29ce484222325ull ^ QHashSeed::globalSeed() ^ salt) * kPrime;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i].unicode(), name[i + 1].unicode());
            ++i;
        }
        h = (h ^ QChar::toCaseFolded(c)) * kPrime;
    }
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return static_cast<std::uint32_t>(h);
}

std::uint32_t Hive::findChild(std::uint32_t parent, QStringView name) const {
    const auto named = [&](std::uint32_t n) { return nameOf(nodes_[n]).compare(name, Qt::CaseInsensitive) == 0; };
    if (nodes_[parent].children >= kIndexedFrom) {
        return children_.find(NameIndex::hashOf(name, parent),
                              [&](std::uint32_t n) { return nodes_[n].parent == parent && named(n); });
    }
    for (std::uint32_t n = nodes_[parent].firstChild; n != kNone; n = nodes_[n].nextSibling) {
        if (named(n)) return n;
    }
    return kNone;
}

std::uint32_t Hive::addChild(std::uint32_t parent, QStringView name) {
    const auto at = static_cast<std::uint32_t>(nodes_.size());
    // Kept in the case first written.
    nodes_.push_back(Node{parent, kNone, static_cast<std::uint32_t>(names_.size()), kNone,
                          nodes_[parent].firstChild, static_cast<std::uint16_t>(name.size()), 0});
    names_ += name;
    Node& p = nodes_[parent];
    p.firstChild = at;
    if (p.children + 1 < kIndexedFrom) {
        ++p.children;
    } else if (p.children + 1 == kIndexedFrom) {
        ++p.children;
        for (std::uint32_t n = at; n != kNone; n = nodes_[n].nextSibling)
            children_.insert(n, NameIndex::hashOf(nameOf(nodes_[n]), parent));
    } else {
        children_.insert(at, NameIndex::hashOf(name, parent));
    }
    return at;
}

std::optional<std::uint32_t> Hive::findNode(QStringView path) const {
    std::uint32_t node = kRoot;
    for (const QStringView part : path.tokenize(u'\\', Qt::SkipEmptyParts)) {
        if (part.size() > kMaxKeyName) return std::nullopt;
        node = findChild(node, part);
        if (node == kNone) return std::nullopt;
    }
    return node;
}

std::uint32_t Hive::ensureNode(QStringView path) {
    std::uint32_t node = kRoot;
    for (const QStringView part : path.tokenize(u'\\', Qt::SkipEmptyParts)) {
        const std::uint32_t found = findChild(node, part);
        node = found != kNone ? found : addChild(node, part);
    }
    return node;
}

std::uint32_t Hive::keyOfNode(std::uint32_t node) {
    if (nodes_[node].key != kNone) return nodes_[node].key;
    const auto k = static_cast<std::uint32_t>(keys_.size());
    keys_.emplace_back(pathOf(node));
    keys_.back().node_ = node;
    nodes_[node].key = k;
    return k;
}

QString Hive::pathOf(std::uint32_t node) const {
    std::vector<std::uint32_t> chain;
    qsizetype size = 0;
    for (std::uint32_t n = node; n != kRoot; n = nodes_[n].parent) {
        chain.push_back(n);
        size += nodes_[n].nameSize + 1;
    }
    QString out;
    out.reserve(size);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!out.isEmpty()) out += u'\\';
        out += nameOf(nodes_[*it]);
    }
    return out;
}

const Key* Hive::findKey(const QString& path) const {
    const auto node = findNode(path);
    if (!node || *node == kRoot || nodes_[*node].key == kNone) return nullptr;
    return &keys_[nodes_[*node].key];
}

Key* Hive::findKey(const QString& path) {
    return const_cast<Key*>(static_cast<const Hive*>(this)->findKey(path));
}

bool Hive::keyExists(const QString& path) const { return findNode(path).has_value(); }

std::optional<QString> Hive::existingPath(const QString& path) const {
    const auto node = findNode(path);
    if (!node) return std::nullopt;
    return *node == kRoot ? QString() : pathOf(*node);
}

Key& Hive::ensureKey(const QString& path) {
    const bool root = std::all_of(path.cbegin(), path.cend(), [](QChar c) { return c == u'\\'; });
    if (root) throw ERegistryException(QStringLiteral("La raíz del registro no admite valores"));
    if (const QString fault = keyPathFault(path); !fault.isEmpty()) {
        throw ERegistryException(
            QStringLiteral("La clave %1 no se puede guardar en el registro: %2").arg(shortened(path), fault));
    }
    return keys_[keyOfNode(ensureNode(path))];
}

}  // namespace reg
