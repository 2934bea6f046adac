#include "platform/ini/inifile.h"

#include "platform/runtime/regular_file.h"

#include <QStringDecoder>
#include <QStringList>

#include <optional>

namespace ini {

namespace {

// Windows-1252 in 0x80..0x9F; the rest of the range is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
        return text;
    }
    text.clear();
    text.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        text += (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t{b});
    }
    return text;
}

// The file's bytes, or nothing when it cannot be read as an INI file: it is
// missing or unreadable, is no regular file (a FIFO put in its place must not
// hang start-up, nor a device feed it forever), or is larger than any INI
// file the program reads could be.
std::optional<QByteArray> readBytes(const QString& fileName) {
    const rtl::OpenedForReading file = rtl::openForReading(fileName);
    if (!file.isRegular() || file.status.st_size > kMaxFileBytes) return std::nullopt;
    std::optional<QByteArray> bytes = rtl::readAtMost(file.fd.get(), kMaxFileBytes + 1);
    if (bytes && bytes->size() > kMaxFileBytes) return std::nullopt;  // grew past the bound while it was read
    return bytes;
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString& v) {
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

}  // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {
    const std::optional<QByteArray> bytes = readBytes(fileName);
    if (!bytes) return;
    const QString text = decode(*bytes);

    sections_.push_back(Section{});  // entries before the first section header
    Section* current = &sections_.back();
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();  // also drops the \r of CRLF lines
        if (line.isEmpty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            const qsizetype close = line.indexOf(u']');
            const QString name = (close < 0 ? line.mid(1) : line.mid(1, close - 1)).trimmed();
            sections_.push_back(Section{name, {}});
            current = &sections_.back();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            current->entries.emplace_back(line, QString());
        } else {
            current->entries.emplace_back(line.left(eq).trimmed(), unquote(line.mid(eq + 1).trimmed()));
        }
    }
}

const TIniFile::Section* TIniFile::find(const QString& section) const {
    // The nameless section before the first header is not addressable.
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        if (sameName(sections_[i].name, section)) return &sections_[i];
    }
    return nullptr;
}

const QString* TIniFile::findValue(const QString& section, const QString& ident) const {
    const Section* s = find(section);
    if (s == nullptr) return nullptr;
    for (const auto& [key, value] : s->entries) {
        if (sameName(key, ident)) return &value;
    }
    return nullptr;
}

QString TIniFile::ReadString(const QString& section, const QString& ident, const QString& def) const {
    const QString* v = findValue(section, ident);
    return v == nullptr ? def : *v;
}

bool TIniFile::SectionExists(const QString& section) const { return find(section) != nullptr; }

bool TIniFile::ValueExists(const QString& section, const QString& ident) const {
    return findValue(section, ident) != nullptr;
}

}  // namespace ini
