#include "platform/registry/hive.h"

#include "platform/registry/registry_exception.h"

#include <QStringDecoder>

#include <optional>

namespace reg {

namespace {

const QString kHeader = QStringLiteral("VEXALON REGISTRY Version 1");

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// One line of the file being parsed, with a cursor.
class LineReader {
public:
    LineReader(QString text, const QString& fileName, int lineNo)
        : text_(std::move(text)), fileName_(fileName), lineNo_(lineNo) {}

    [[noreturn]] void fail(const QString& what) const {
        throw ERegistryException(
            QStringLiteral("El archivo de configuración del usuario %1 está dañado "
                           "(línea %2: %3); no se modificó. Corríjalo o bórrelo.")
                .arg(fileName_)
                .arg(lineNo_)
                .arg(what));
    }

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
        if (text_.mid(pos_, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        pos_ += w.size();
        return true;
    }
    void expectEnd() {
        skipBlanks();
        if (!atEnd()) fail(QStringLiteral("texto de más al final de la línea"));
    }

    // Reads up to `close` (not escaped), undoing the escapes; the cursor is
    // past the opening character already.
    QString readEscaped(QChar close) {
        QString out;
        while (true) {
            if (atEnd()) fail(QStringLiteral("falta el cierre %1").arg(close));
            const QChar c = text_[pos_++];
            if (c == close) return out;
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (atEnd()) fail(QStringLiteral("barra invertida al final de la línea"));
            const QChar e = text_[pos_++];
            switch (e.unicode()) {
                case u'n': out += u'\n'; break;
                case u'r': out += u'\r'; break;
                case u't': out += u'\t'; break;
                case u'0': out += QChar(u'\0'); break;
                case u'x': {
                    const QString hex = text_.mid(pos_, 4);
                    bool ok = false;
                    const uint code = hex.toUInt(&ok, 16);
                    if (hex.size() != 4 || !ok) fail(QStringLiteral("escape \\x sin cuatro cifras hexadecimales"));
                    pos_ += 4;
                    out += QChar(static_cast<char16_t>(code));
                    break;
                }
                default: out += e;  // \\ \" \] and any other character as itself
            }
        }
    }

    // A run of hexadecimal digits (at most maxDigits), or nothing.
    std::optional<std::uint32_t> readHex(int maxDigits) {
        const qsizetype start = pos_;
        while (!atEnd() && isHexDigit(text_[pos_]) && pos_ - start < maxDigits) ++pos_;
        if (pos_ == start) return std::nullopt;
        return text_.mid(start, pos_ - start).toUInt(nullptr, 16);
    }

    QString rest() const { return text_.mid(pos_); }

private:
    static bool isHexDigit(QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    }

    QString text_;
    QString fileName_;
    int lineNo_;
    qsizetype pos_ = 0;
};

QString escape(const QString& s, bool inKeyPath) {
    QString out;
    out.reserve(s.size() + 8);
    for (const QChar c : s) {
        switch (c.unicode()) {
            case u'\\': out += QStringLiteral("\\\\"); break;
            case u'"': out += QStringLiteral("\\\""); break;
            case u'\n': out += QStringLiteral("\\n"); break;
            case u'\r': out += QStringLiteral("\\r"); break;
            case u'\t': out += QStringLiteral("\\t"); break;
            case u'\0': out += QStringLiteral("\\0"); break;
            default:
                if (c == u']' && inKeyPath) {
                    out += QStringLiteral("\\]");
                } else if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
                    out += QStringLiteral("\\x%1").arg(c.unicode(), 4, 16, QChar(u'0'));
                } else {
                    out += c;
                }
        }
    }
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
// turned into that form, so every later reader sees one shape per type.
void normalizeBytes(Value& v) {
    if ((v.type == 1 || v.type == 2) && v.bytes.size() % 2 == 0) {
        QString s;
        for (qsizetype i = 0; i + 1 < v.bytes.size(); i += 2) {
            s += QChar(static_cast<char16_t>(static_cast<unsigned char>(v.bytes[i]) |
                                             (static_cast<unsigned char>(v.bytes[i + 1]) << 8)));
        }
        while (s.endsWith(QChar(u'\0'))) s.chop(1);
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
        v.name = in.readEscaped(u'"');
    }
    in.skipBlanks();
    if (!in.take(u'=')) in.fail(QStringLiteral("se esperaba \"=\" tras el nombre del valor"));
    in.skipBlanks();
    if (in.take(u'"')) {
        v.type = static_cast<std::uint32_t>(ValueType::String);
        v.form = Form::Text;
        v.text = in.readEscaped(u'"');
    } else if (in.takeWord(QStringLiteral("str("))) {
        const auto t = in.readHex(8);
        if (!t || !in.take(u')') || !in.take(u':') || !in.take(u'"'))
            in.fail(QStringLiteral("se esperaba str(N):\"texto\""));
        v.type = *t;
        v.form = Form::Text;
        v.text = in.readEscaped(u'"');
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

}  // namespace

QString normalizeKeyPath(const QString& path) {
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

Hive Hive::parse(const QByteArray& text, const QString& fileName) {
    Hive hive;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString all = utf8.decode(text);
    if (utf8.hasError()) {
        LineReader(QString(), fileName, 1).fail(QStringLiteral("el texto no es UTF-8 válido"));
    }
    if (all.startsWith(QChar(0xFEFF))) all.remove(0, 1);
    const QStringList lines = all.split(u'\n');

    bool sawHeader = false;
    Key* current = nullptr;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNo = static_cast<int>(i + 1);
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        line = line.trimmed();
        if (line.isEmpty()) continue;
        // A hex list may go on over several lines, each ending in a backslash.
        while (line.endsWith(u'\\') && line.contains(QStringLiteral("=hex")) && i + 1 < lines.size()) {
            line.chop(1);
            line += lines[++i].trimmed();
        }
        LineReader in(line, fileName, lineNo);
        if (!sawHeader) {
            if (line != kHeader) in.fail(QStringLiteral("falta la cabecera \"%1\"").arg(kHeader));
            sawHeader = true;
            continue;
        }
        const QChar first = line[0];
        if (first == u';' || first == u'#') continue;
        if (first == u'[') {
            in.take(u'[');
            const QString path = normalizeKeyPath(in.readEscaped(u']'));
            if (path.isEmpty()) in.fail(QStringLiteral("clave sin nombre"));
            // Wine writes a modification time after the key name.
            const QString rest = in.rest().trimmed();
            for (const QChar c : rest) {
                if (!c.isDigit()) in.fail(QStringLiteral("texto de más tras el nombre de la clave"));
            }
            current = &hive.ensureKey(path);
            continue;
        }
        if (first == u'"' || first == u'@') {
            if (current == nullptr) in.fail(QStringLiteral("valor fuera de toda clave"));
            setValue(*current, parseValue(in));
            continue;
        }
        in.fail(QStringLiteral("línea no reconocida"));
    }
    return hive;
}

QByteArray Hive::serialize() const {
    QString out = kHeader + u'\n';
    out += QStringLiteral(";; Per-user settings of the Vexalon programs (HKEY_CURRENT_USER).\n"
                          ";; Edit only while no Vexalon program is running.\n");
    for (const Key& key : keys_) {
        out += u'\n';
        out += u'[' + escape(key.path, true) + QStringLiteral("]\n");
        for (const Value& v : key.values) {
            out += v.name.isEmpty() ? QStringLiteral("@") : u'"' + escape(v.name, false) + u'"';
            out += u'=';
            switch (v.form) {
                case Form::Text:
                    if (v.type != static_cast<std::uint32_t>(ValueType::String))
                        out += QStringLiteral("str(%1):").arg(v.type, 0, 16);
                    out += u'"' + escape(v.text, false) + u'"';
                    break;
                case Form::DWord:
                    out += QStringLiteral("dword:%1").arg(v.dword, 8, 16, QChar(u'0'));
                    break;
                case Form::Bytes: {
                    out += v.type == static_cast<std::uint32_t>(ValueType::Binary)
                               ? QStringLiteral("hex:")
                               : QStringLiteral("hex(%1):").arg(v.type, 0, 16);
                    QStringList hex;
                    for (const char b : v.bytes)
                        hex << QStringLiteral("%1").arg(static_cast<unsigned char>(b), 2, 16, QChar(u'0'));
                    out += hex.join(u',');
                    break;
                }
            }
            out += u'\n';
        }
    }
    return out.toUtf8();
}

const Key* Hive::findKey(const QString& path) const {
    for (const Key& k : keys_) {
        if (sameName(k.path, path)) return &k;
    }
    return nullptr;
}

Key* Hive::findKey(const QString& path) {
    return const_cast<Key*>(static_cast<const Hive*>(this)->findKey(path));
}

bool Hive::keyExists(const QString& path) const {
    if (path.isEmpty()) return true;
    const QString prefix = path + u'\\';
    for (const Key& k : keys_) {
        if (sameName(k.path, path) || k.path.startsWith(prefix, Qt::CaseInsensitive)) return true;
    }
    return false;
}

Key& Hive::ensureKey(const QString& path) {
    const QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) throw ERegistryException(QStringLiteral("La raíz del registro no admite valores"));
    QString sofar;
    Key* key = nullptr;
    for (const QString& part : parts) {
        sofar = sofar.isEmpty() ? part : sofar + u'\\' + part;
        key = findKey(sofar);
        if (key == nullptr) {
            // Keep the case of the parents as already written.
            keys_.push_back(Key{sofar, {}});
            key = &keys_.back();
        }
        sofar = key->path;
    }
    return *key;
}

const Value* Hive::findValue(const Key& key, const QString& name) {
    for (const Value& v : key.values) {
        if (sameName(v.name, name)) return &v;
    }
    return nullptr;
}

void Hive::setValue(Key& key, Value value) {
    for (Value& v : key.values) {
        if (sameName(v.name, value.name)) {
            value.name = v.name;
            v = std::move(value);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

}  // namespace reg
