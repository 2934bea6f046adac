// The per-user registry hive in memory, and its text form.
//
// The hive is a flat list of keys, each named by its full path below the root
// ("Software\Vexalon\abc"), each holding typed values. Key paths and value
// names compare without regard to letter case and keep the case they were
// first written with. The text form follows Wine's user.reg:
//
//   VEXALON REGISTRY Version 1
//   ;; comment lines start with ";" or "#"
//
//   [Software\\Vexalon\\abc] 1700000000
//   "DBD"="FDC"
//   "Dir"=str(2):"%HOME%\\html"
//   "NO_VALIDO_VOL"=dword:00000001
//   "Blob"=hex:01,ff
//   "Lines"=hex(1):61,00,0a,00,62,00,00,00
//   @="the key's default value"
//
// The file is often written by hand, so it is read as a person means it:
// - In a key name every backslash separates two components: [A\B], [A\\B]
//   and [\A\B\] name the same key. "\]" is a "]" inside a component; the
//   header ends at the last "]" of the line, after which only Wine's
//   modification time (digits) may follow.
// - Inside quotes "\\" is one backslash and "\"" a quote; a backslash before
//   anything else is itself, so "C:\temp" is C:\temp. A value's text ends at
//   the last quote of its line, so "C:\html\" is C:\html\ as well.
// - Sections naming the same key are one key. A value named twice in a key
//   is taken once when both say the same, and refused otherwise.
// Text with control characters, or that UTF-8 cannot carry, is written as
// hex(N): UTF-16LE bytes, so no other escape is needed. Comment and blank
// lines and the modification times are kept where they were when the hive is
// written back. Only the parser and printer live here; the file itself
// (location, locking, atomic replacement) is in hive_file.h.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace reg {

// Registry value types, numbered as the platform numbers them.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ, kept unexpanded
    Binary = 3,        // REG_BINARY
    DWord = 4,         // REG_DWORD, 32 bits
};

// How a value's data is held: as text (string types, also "str(N):" of any
// other type), as a 32-bit number (DWORD) or as raw bytes ("hex:").
enum class Form { Text, DWord, Bytes };

struct Value {
    QString name;               // empty for the key's default value
    std::uint32_t type = 0;     // a ValueType, or any other number read from a file
    Form form = Form::Text;
    QString text;               // Form::Text
    std::uint32_t dword = 0;    // Form::DWord
    QByteArray bytes;           // Form::Bytes
    QStringList before;         // comment and blank lines above it in the file
};

// Whether two values hold the same type and data (names aside).
bool sameData(const Value& a, const Value& b);

class Key {
public:
    explicit Key(QString path);

    // Components joined by "\", no leading or trailing "\".
    const QString& path() const { return path_; }
    // In the order they were read or added.
    const std::vector<Value>& values() const { return values_; }

    // The named value, or nullptr.
    const Value* findValue(const QString& name) const;
    // Sets a value; an existing one keeps its name's letter case, its place
    // and the lines above it. Throws ERegistryException for a name that the
    // file cannot hold (control characters, broken UTF-16).
    void setValue(Value value);

private:
    friend class Hive;

    std::optional<std::size_t> position(const QString& name) const;

    QString path_;
    QStringList before_{QString()};  // lines above its header; a new key gets a blank line
    QString stamp_;                  // Wine's modification time after the header
    bool listed_ = false;            // had a header of its own in the file
    std::vector<Value> values_;
    QHash<QString, std::size_t> index_;  // case-folded name -> position, once there are many
};

// Splits a key path on "\" and drops empty components, so "\Software\\X\"
// and "Software\X" name the same key. Joined again with "\".
QString normalizeKeyPath(const QString& path);

class Hive {
public:
    // An empty hive; written out, it starts with a short note for people.
    Hive();

    // Parses the text form. An empty (or blank) text is an empty hive.
    // Throws ERegistryException naming `fileName` and the line when the text
    // is not a hive.
    static Hive parse(const QByteArray& text, const QString& fileName);

    // The text form, readable by parse(). A key is written when it was listed
    // in the file read, holds values or has no subkeys; the parents of a
    // written key need no section of their own.
    QByteArray serialize() const;

    // The key at a normalized path, or nullptr.
    const Key* findKey(const QString& path) const;
    Key* findKey(const QString& path);

    // Whether the key exists, written itself or as the parent of a written
    // key (a hand-edited file may list only the leaves).
    bool keyExists(const QString& path) const;

    // The key at the path, created with any missing parents. The root (empty
    // path) is not a key of its own and is never created. Throws
    // ERegistryException for a name that the file cannot hold.
    Key& ensureKey(const QString& path);

    // The named value of a key, or nullptr.
    static const Value* findValue(const Key& key, const QString& name) { return key.findValue(name); }
    // Sets a value; see Key::setValue.
    static void setValue(Key& key, Value value) { key.setValue(std::move(value)); }

    // In file order, parents before their first child.
    const std::vector<Key>& keys() const { return keys_; }

private:
    std::vector<Key> keys_;
    QHash<QString, std::size_t> index_;  // case-folded path -> position in keys_
    QStringList preamble_;               // lines between the header and the first key
    QStringList trailer_;                // lines after the last value
};

}  // namespace reg
