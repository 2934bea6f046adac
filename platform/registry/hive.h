// The per-user registry hive in memory, and its text form.
//
// The hive is a flat list of keys, each named by its full path below the root
// ("Software\Vexalon\abc"), each holding typed values. Key paths and value
// names compare without regard to letter case and keep the case they were
// first written with. The text form follows Wine's user.reg:
//
//   VEXALON REGISTRY Version 1
//   ;; comment lines start with ";"
//
//   [Software\\Vexalon\\abc]
//   "DBD"="FDC"
//   "Dir"=str(2):"%HOME%\\html"
//   "NO_VALIDO_VOL"=dword:00000001
//   "Blob"=hex:01,ff
//   @="the key's default value"
//
// Inside quotes a backslash escapes the next character: \\ \" \n \r \t \0 and
// \xHHHH (a UTF-16 code unit). Text is UTF-8. Only the parser and printer
// live here; the file itself (location, locking, atomic replacement) is in
// hive_file.h.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
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
};

struct Key {
    QString path;               // components joined by "\", no leading or trailing "\"
    std::vector<Value> values;
};

// Splits a key path on "\" and drops empty components, so "\Software\\X\"
// and "Software\X" name the same key. Joined again with "\".
QString normalizeKeyPath(const QString& path);

class Hive {
public:
    // Parses the text form. An empty (or blank) text is an empty hive.
    // Throws ERegistryException naming `fileName` and the line when the text
    // is not a hive.
    static Hive parse(const QByteArray& text, const QString& fileName);

    // The text form, readable by parse().
    QByteArray serialize() const;

    // The key at a normalized path, or nullptr.
    const Key* findKey(const QString& path) const;
    Key* findKey(const QString& path);

    // Whether the key exists, either written itself or as the parent of a
    // written key (a hand-edited file may list only the leaves).
    bool keyExists(const QString& path) const;

    // The key at the path, created with any missing parents. The root (empty
    // path) is not a key of its own and is never created.
    Key& ensureKey(const QString& path);

    // The named value of a key, or nullptr.
    static const Value* findValue(const Key& key, const QString& name);
    // Sets a value; an existing one keeps its name's letter case.
    static void setValue(Key& key, Value value);

    const std::vector<Key>& keys() const { return keys_; }

private:
    std::vector<Key> keys_;
};

}  // namespace reg
