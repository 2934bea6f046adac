#include "platform/registry/hive.h"

#include "platform/registry/registry_exception.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <optional>

namespace reg {

namespace {

const QString kHeader = QStringLiteral("VEXALON REGISTRY Version 1");

QString folded(const QString& name) { return name.toCaseFolded(); }

// A name the file can hold on one line and in UTF-8.
bool isStorableName(const QString& name) {
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
    }
    return name.isValidUtf16();
}

[[noreturn]] void failAt(const QString& fileName, int lineNo, const QString& what) {
    throw ERegistryException(
        QStringLiteral("El archivo de configuración del usuario %1 está dañado "
                       "(línea %2: %3); no se modificó. Corríjalo o bórrelo.")
            .arg(fileName)
            .arg(lineNo)
            .arg(what));
}

// One line of the file being parsed, with a cursor.
class LineReader {
public:
    LineReader(QString text, const QString& fileName, int lineNo)
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
        return QStringView(text_).mid(start, pos_ - start).toUInt(nullptr, 16);
    }

private:
    static bool isHexDigit(QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    QString text_;
    QString fileName_;
    int lineNo_;
    qsizetype pos_ = 0;
};

struct Header {
    QString path;
    QString stamp;
};

// "[...]" and what follows it.
Header parseHeader(const QString& line, const LineReader& in) {
    const qsizetype close = line.lastIndexOf(u']');
    if (close < 1) in.fail(QStringLiteral("falta el cierre ]"));
    QString path;
    for (qsizetype i = 1; i < close; ++i) {
        const QChar c = line[i];
        if (c != u'\\') {
            path += c;
        } else if (i + 1 < close && line[i + 1] == u']') {
            path += u']';
            ++i;
        } else {
            path += u'\\';
            if (i + 1 < close && line[i + 1] == u'\\') ++i;
        }
    }
    Header h{normalizeKeyPath(path), line.mid(close + 1).trimmed()};
    if (h.path.isEmpty()) in.fail(QStringLiteral("clave sin nombre"));
    for (const QString& part : h.path.split(u'\\')) {
        if (!isStorableName(part)) in.fail(QStringLiteral("el nombre de la clave tiene caracteres de control"));
    }
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

QString headerPath(const QString& path) {
    QString out;
    out.reserve(path.size() + 8);
    for (const QChar c : path) {
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else {
            if (c == u']') out += u'\\';
            out += c;
        }
    }
    return out;
}

QString hexList(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() * 3);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += u',';
        out += QStringLiteral("%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16, QChar(u'0'));
    }
    return out;
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
        if (!isStorableName(v.name)) in.fail(QStringLiteral("el nombre del valor tiene caracteres de control"));
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

// A hex value whose byte list goes on over the next line.
bool continuesOnNextLine(const QString& line) {
    static const QRegularExpression hexStart(
        QStringLiteral(R"(^(@|"(?:[^"\\]|\\.)*")\s*=\s*hex(\([0-9A-Fa-f]+\))?:)"),
        QRegularExpression::CaseInsensitiveOption);
    return line.endsWith(u'\\') && hexStart.match(line).hasMatch();
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
    const auto it = index_.constFind(folded(name));
    return it == index_.cend() ? std::nullopt : std::optional<std::size_t>(*it);
}

const Value* Key::findValue(const QString& name) const {
    const auto at = position(name);
    return at ? &values_[*at] : nullptr;
}

void Key::setValue(Value value) {
    if (!isStorableName(value.name)) {
        throw ERegistryException(
            QStringLiteral("El nombre de valor \"%1\" no se puede guardar en el registro: tiene "
                           "caracteres de control (clave %2)")
                .arg(value.name, path_));
    }
    if (const auto at = position(value.name)) {
        Value& v = values_[*at];
        value.name = v.name;
        value.before = std::move(v.before);
        v = std::move(value);
        return;
    }
    values_.push_back(std::move(value));
    if (values_.size() == kIndexFrom) {
        for (std::size_t i = 0; i < values_.size(); ++i) index_.insert(folded(values_[i].name), i);
    } else if (values_.size() > kIndexFrom) {
        index_.insert(folded(values_.back().name), values_.size() - 1);
    }
}

QString normalizeKeyPath(const QString& path) {
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

Hive::Hive()
    : preamble_{QStringLiteral(";; Per-user settings of the Vexalon programs (HKEY_CURRENT_USER)."),
                QStringLiteral(";; Edit only while no Vexalon program is running.")} {}

Hive Hive::parse(const QByteArray& text, const QString& fileName) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // the final newline

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const auto decode = [&](qsizetype i) {
        QByteArray raw = lines[i];
        if (raw.endsWith('\r')) raw.chop(1);
        QString line = utf8.decode(raw);
        if (utf8.hasError()) {
            failAt(fileName, static_cast<int>(i + 1), QStringLiteral("el texto no es UTF-8 válido"));
        }
        if (i == 0 && line.startsWith(QChar(0xFEFF))) line.remove(0, 1);
        return line;
    };

    Hive hive;
    bool sawHeader = false;
    std::optional<std::size_t> current;
    QStringList pending;            // comment and blank lines waiting for the next item
    QHash<quint64, int> valueLine;  // (key, value) position -> line it was read at
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        const QString raw = decode(i);
        QString line = raw.trimmed();
        if (!sawHeader) {
            if (line.isEmpty()) continue;
            if (line != kHeader) failAt(fileName, lineNo, QStringLiteral("falta la cabecera \"%1\"").arg(kHeader));
            sawHeader = true;
            hive.preamble_.clear();
            continue;
        }
        if (line.isEmpty() || line[0] == u';' || line[0] == u'#') {
            pending << (line.isEmpty() ? QString() : raw);
            continue;
        }
        // A hex list may go on over several lines, each ending in a backslash.
        while (continuesOnNextLine(line) && i + 1 < lines.size()) {
            line.chop(1);
            line += decode(++i).trimmed();
        }
        LineReader in(line, fileName, lineNo);
        if (line[0] == u'[') {
            const Header h = parseHeader(line, in);
            Key* key = hive.findKey(h.path);
            if (key == nullptr || !key->listed_) {
                if (key == nullptr) key = &hive.ensureKey(h.path);
                key->before_ = std::exchange(pending, {});
                key->stamp_ = h.stamp;
                key->listed_ = true;
            } else if (key->stamp_.isEmpty()) {
                // A second section of the key: its values join the first one,
                // its comments go with the values that follow.
                key->stamp_ = h.stamp;
            }
            current = hive.index_.value(folded(key->path_));
            continue;
        }
        if (line[0] == u'"' || line[0] == u'@') {
            if (!current) in.fail(QStringLiteral("valor fuera de toda clave"));
            Value v = parseValue(in);
            Key& key = hive.keys_[*current];
            if (const auto at = key.position(v.name)) {
                const int first = valueLine.value((quint64{*current} << 32) | *at);
                if (!sameData(key.values_[*at], v)) {
                    in.fail(QStringLiteral("el valor %1 ya figura con otro dato en la línea %2")
                                .arg(v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name))
                                .arg(first));
                }
                continue;  // the same value twice: one is enough
            }
            valueLine.insert((quint64{*current} << 32) | key.values_.size(), lineNo);
            v.before = std::exchange(pending, {});
            key.setValue(std::move(v));
            continue;
        }
        in.fail(QStringLiteral("línea no reconocida"));
    }
    hive.trailer_ = pending;
    return hive;
}

QByteArray Hive::serialize() const {
    QSet<QString> parents;
    for (const Key& key : keys_) {
        const qsizetype cut = key.path_.lastIndexOf(u'\\');
        if (cut > 0) parents.insert(folded(key.path_.left(cut)));
    }
    QString out = kHeader + u'\n';
    const auto lines = [&out](const QStringList& ls) {
        for (const QString& l : ls) out += l + u'\n';
    };
    lines(preamble_);
    for (const Key& key : keys_) {
        if (!key.listed_ && key.values_.empty() && parents.contains(folded(key.path_))) continue;
        lines(key.before_);
        out += u'[' + headerPath(key.path_) + u']';
        if (!key.stamp_.isEmpty()) out += u' ' + key.stamp_;
        out += u'\n';
        for (const Value& v : key.values_) {
            lines(v.before);
            out += v.name.isEmpty() ? QStringLiteral("@") : quoted(v.name);
            out += u'=';
            switch (v.form) {
                case Form::Text:
                    if (!isStorableName(v.text)) {  // no escapes beyond \\ and \"
                        out += QStringLiteral("hex(%1):").arg(v.type, 0, 16) + hexList(utf16Bytes(v.text));
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
                    out += v.type == static_cast<std::uint32_t>(ValueType::Binary)
                               ? QStringLiteral("hex:")
                               : QStringLiteral("hex(%1):").arg(v.type, 0, 16);
                    out += hexList(v.bytes);
                    break;
            }
            out += u'\n';
        }
    }
    lines(trailer_);
    return out.toUtf8();
}

const Key* Hive::findKey(const QString& path) const {
    const auto it = index_.constFind(folded(path));
    return it == index_.cend() ? nullptr : &keys_[*it];
}

Key* Hive::findKey(const QString& path) {
    return const_cast<Key*>(static_cast<const Hive*>(this)->findKey(path));
}

bool Hive::keyExists(const QString& path) const {
    // ensureKey makes every parent, so a listed leaf's parents are keys too.
    return path.isEmpty() || findKey(path) != nullptr;
}

Key& Hive::ensureKey(const QString& path) {
    const QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) throw ERegistryException(QStringLiteral("La raíz del registro no admite valores"));
    for (const QString& part : parts) {
        if (!isStorableName(part)) {
            throw ERegistryException(
                QStringLiteral("La clave %1 no se puede guardar en el registro: su nombre tiene "
                               "caracteres de control")
                    .arg(path));
        }
    }
    QString sofar;
    Key* key = nullptr;
    for (const QString& part : parts) {
        sofar = sofar.isEmpty() ? part : sofar + u'\\' + part;
        key = findKey(sofar);
        if (key == nullptr) {
            // Keep the case of the parents as already written.
            index_.insert(folded(sofar), keys_.size());
            keys_.emplace_back(sofar);
            key = &keys_.back();
        }
        sofar = key->path_;
    }
    return *key;
}

}  // namespace reg
