// TIniFile: reads entries of an INI file the way the platform's profile
// functions do.
//
// The file is read once, when the object is made. Sections ("[name]") and
// keys compare without regard to letter case; the first section and the first
// key of a name win. A value is the text after the first "=", trimmed of
// blanks, with one pair of enclosing single or double quotes removed; nothing
// else is processed, so "C:\html\" reads as C:\html\ and a ";" inside a value
// stays. Lines whose first non-blank character is ";" are comments. The text
// is UTF-8 (a byte-order mark is skipped); a file that is not valid UTF-8 is
// taken as Windows-1252, as a file written on Windows would be. A missing or
// unreadable file, section or key reads as the default: reading reports no
// error. So does anything that is not a regular file (a FIFO, a device) and a
// file larger than kMaxFileBytes.
#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace ini {

// The largest INI file read; far above any real one (the program reads one key).
inline constexpr qint64 kMaxFileBytes = qint64{4} << 20;

class TIniFile {
public:
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return fileName_; }

    // The entry's value, or `def` when the file, section or key is missing.
    QString ReadString(const QString& section, const QString& ident, const QString& def) const;
    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& ident) const;

private:
    struct Section {
        QString name;
        std::vector<std::pair<QString, QString>> entries;
    };
    const Section* find(const QString& section) const;
    const QString* findValue(const QString& section, const QString& ident) const;

    QString fileName_;
    std::vector<Section> sections_;
};

}  // namespace ini
