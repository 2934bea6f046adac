// The per-user registry hive in memory, and its text form.
//
// The hive is a tree of key names below the root. A key that a section
// names, or that holds values, is a Key, named by its full path
// ("Software\Vexalon\abc") and holding typed values. Key paths and value
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
// hex(N): UTF-16LE bytes, so no other escape is needed.
//
// Written back, the file keeps its own order: every section where it stood,
// with the comment and blank lines above it and its modification time, each
// value in the section it was read in. A value new to a key goes into the
// key's first section; a key new to the file goes at its end, before the
// closing comments.
//
// The file is bounded as the platform bounds its registry, so that no file
// can make reading it slow or large: a key name holds at most kMaxKeyName
// characters, a path at most kMaxKeyDepth names, a value name at most
// kMaxValueName characters, and the file at most kMaxFileBytes bytes. Past a
// bound the file is damaged. Only the parser and printer live here; the file
// itself (location, locking, atomic replacement) is in hive_file.h.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>
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

// Bounds of the file, as the platform bounds its registry (a key name of 255
// characters, a tree 512 keys deep, a value name of 16,383 characters), and
// a size far above any real settings file.
inline constexpr qsizetype kMaxKeyName = 255;
inline constexpr qsizetype kMaxKeyDepth = 512;
inline constexpr qsizetype kMaxValueName = 16383;
inline constexpr qsizetype kMaxFileBytes = 8 * 1024 * 1024;

struct Value {
    QString name;               // empty for the key's default value
    std::uint32_t type = 0;     // a ValueType, or any other number read from a file
    Form form = Form::Text;
    QString text;               // Form::Text
    std::uint32_t dword = 0;    // Form::DWord
    QByteArray bytes;           // Form::Bytes
    QString before;             // comment and blank lines above it in the file, each ending in "\n"
};

// Whether two values hold the same type and data (names aside).
bool sameData(const Value& a, const Value& b);

// Positions of named items, found by name without regard to letter case:
// open addressing over (position, hash) pairs, so that nothing is allocated
// per name and a probe reads no item but the one it finds.
class NameIndex {
public:
    static constexpr std::uint32_t kNone = 0xffffffffu;

    // The hash of a name folded as the comparison without case folds it, one
    // code point at a time; `salt` tells apart the names under different
    // parents.
    static std::uint32_t hashOf(QStringView name, std::uint32_t salt = 0);

    // The position, among those with this hash, that `matches`; kNone when
    // none does.
    template <typename Matches>
    std::uint32_t find(std::uint32_t hash, Matches&& matches) const {
        if (slots_.empty()) return kNone;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.at == kNone) return kNone;
            if (slot.hash == hash && matches(slot.at)) return slot.at;
        }
    }

    // Adds a position that find() does not know yet.
    void insert(std::uint32_t at, std::uint32_t hash) {
        if ((size_ + 1) * 4 > slots_.size() * 3) {  // at most three quarters full
            std::vector<Slot> old(std::max<std::size_t>(16, slots_.size() * 2), Slot{kNone, 0});
            slots_.swap(old);
            for (const Slot& slot : old) {
                if (slot.at != kNone) place(slot);
            }
        }
        place(Slot{at, hash});
        ++size_;
    }

private:
    struct Slot {
        std::uint32_t at;
        std::uint32_t hash;
    };

    void place(Slot slot) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = slot.hash & mask;
        while (slots_[i].at != kNone) i = (i + 1) & mask;
        slots_[i] = slot;
    }

    std::vector<Slot> slots_;
    std::size_t size_ = 0;
};

// A key that was listed in the file or that holds (or was given) values. The
// keys above it that no section names exist without a Key of their own.
class Key {
public:
    explicit Key(QString path);

    // Components joined by "\", no leading or trailing "\", each in the letter
    // case it was first written with.
    const QString& path() const { return path_; }
    // In the order they were read or added.
    const std::vector<Value>& values() const { return values_; }

    // The named value, or nullptr.
    const Value* findValue(const QString& name) const;
    // Sets a value; an existing one keeps its name's letter case, its place
    // and the lines above it. Throws ERegistryException for a name that the
    // file cannot hold (control characters, broken UTF-16, more than
    // kMaxValueName characters).
    void setValue(Value value);

private:
    friend class Hive;

    std::optional<std::size_t> position(const QString& name) const;
    // Adds a value that the key does not hold yet.
    void append(Value value);

    static constexpr std::uint32_t kNone = 0xffffffffu;

    QString path_;
    std::uint32_t node_ = kNone;          // its name in the hive's tree
    std::uint32_t firstSection_ = kNone;  // where its new values go; none for a key new to the file
    std::uint32_t fromFile_ = 0;          // values_[0, fromFile_) were read from the file
    std::vector<std::uint32_t> sectionOf_;  // the section each of those was read in
    std::vector<Value> values_;
    NameIndex index_;  // of values_, once there are many
};

// Splits a key path on "\" and drops empty components, so "\Software\\X\"
// and "Software\X" name the same key. Joined again with "\".
QString normalizeKeyPath(const QString& path);

// Why the file cannot hold a key at this path (a name with control
// characters or longer than kMaxKeyName, more than kMaxKeyDepth names, no
// name at all), or an empty text when it can.
QString keyPathFault(const QString& path);

class Hive {
public:
    // An empty hive; written out, it starts with a short note for people.
    Hive();

    // Parses the text form, in time and memory linear in its size. An empty
    // (or blank) text is an empty hive. Throws ERegistryException naming
    // `fileName` and the line when the text is not a hive or passes one of
    // the file's bounds, and when memory runs out.
    static Hive parse(const QByteArray& text, const QString& fileName);

    // The text form, readable by parse(), in the order described above. A key
    // is written when it was listed in the file read, holds values or has no
    // subkeys; the parents of a written key need no section of their own.
    QByteArray serialize() const;

    // The key at a normalized path, or nullptr; nullptr too for a key that
    // exists only as the parent of others.
    const Key* findKey(const QString& path) const;
    Key* findKey(const QString& path);

    // Whether the key exists, written itself or as the parent of a written
    // key (a hand-edited file may list only the leaves).
    bool keyExists(const QString& path) const;
    // The path of an existing key in the letter case first written with, or
    // nullopt.
    std::optional<QString> existingPath(const QString& path) const;

    // The key at the path, created with any missing parents. The root (empty
    // path) is not a key of its own and is never created. Throws
    // ERegistryException for a path that the file cannot hold (keyPathFault).
    Key& ensureKey(const QString& path);

    // The named value of a key, or nullptr.
    static const Value* findValue(const Key& key, const QString& name) { return key.findValue(name); }
    // Sets a value; see Key::setValue.
    static void setValue(Key& key, Value value) { key.setValue(std::move(value)); }

    // In the order first listed in the file or created.
    const std::vector<Key>& keys() const { return keys_; }

private:
    static constexpr std::uint32_t kNone = Key::kNone;
    static constexpr std::uint32_t kRoot = 0;  // the node of the root, which has no name

    // One name in the tree of keys. A file may name millions, so a name is a
    // slice of names_, with nothing allocated for it. A node's children are
    // a list through nextSibling; once there are many, they are also in
    // children_, keyed by parent and name.
    struct Node {
        std::uint32_t parent;  // kNone for the root
        std::uint32_t key;     // index in keys_, or kNone
        std::uint32_t nameAt;  // in names_, as first written
        std::uint32_t firstChild = kNone;
        std::uint32_t nextSibling = kNone;
        std::uint16_t nameSize;
        std::uint16_t children = 0;  // how many, counted up to kIndexedFrom
    };
    static constexpr std::uint16_t kIndexedFrom = 8;
    // A "[...]" header, in file order.
    struct Section {
        std::uint32_t key;
        QString before;  // comment and blank lines above the header
        QString stamp;   // Wine's modification time after the header
    };

    static Hive parseText(const QByteArray& text, const QString& fileName);
    QStringView nameOf(const Node& node) const { return QStringView(names_).sliced(node.nameAt, node.nameSize); }
    std::uint32_t findChild(std::uint32_t parent, QStringView name) const;
    std::uint32_t addChild(std::uint32_t parent, QStringView name);
    // The node at a path, kRoot for the root, or nullopt when there is none.
    std::optional<std::uint32_t> findNode(QStringView path) const;
    // Made as needed; the path's names must be ones the file can hold.
    std::uint32_t ensureNode(QStringView path);
    std::uint32_t keyOfNode(std::uint32_t node);
    QString pathOf(std::uint32_t node) const;

    std::vector<Node> nodes_;
    QString names_;
    NameIndex children_;  // of the children of nodes with many
    std::vector<Key> keys_;
    std::vector<Section> sections_;
    QString preamble_;  // lines between the header and the first section
    QString trailer_;   // lines after the last value
};

}  // namespace reg
