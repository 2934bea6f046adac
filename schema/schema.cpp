#include "schema/schema.h"

#include <QRegularExpression>

#include <stdexcept>
#include <utility>

extern const char kAgentTablesSql[];

namespace vex::schema {

namespace {

struct Token {
    const char16_t* name;
    const char16_t* sqlite;
    const char16_t* postgresql;
};

constexpr Token kTokens[] = {
    {u"{AUTO_ID}", u"integer primary key autoincrement", u"serial primary key"},
    {u"{DOUBLE}", u"double precision", u"double precision"},
    {u"{DATETIME}", u"timestamp", u"timestamp"},
};

QString withoutComments(const QString& sql) {
    QStringList kept;
    for (const QString& line : sql.split(u'\n')) {
        const qsizetype dash = line.indexOf(QStringLiteral("--"));
        kept << (dash < 0 ? line : line.left(dash));
    }
    return kept.join(u'\n');
}

}  // namespace

std::optional<Dialect> dialectFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == u"sqlite" || n == u"sqlite3") return Dialect::SQLite;
    if (n == u"postgresql" || n == u"postgres" || n == u"pg") return Dialect::PostgreSQL;
    return std::nullopt;
}

QStringList statements(Dialect dialect) {
    QString sql = withoutComments(QString::fromUtf8(kAgentTablesSql));
    for (const Token& t : kTokens) {
        sql.replace(QString::fromUtf16(t.name),
                    QString::fromUtf16(dialect == Dialect::SQLite ? t.sqlite : t.postgresql));
    }
    if (sql.contains(u'{')) {
        // A token the table above does not know: a mistake in the SQL file.
        throw std::logic_error("agent_tables.sql holds an unknown dialect token");
    }
    QStringList out;
    for (const QString& s : sql.split(u';')) {
        const QString t = s.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

QString script(Dialect dialect) {
    QString out;
    for (const QString& s : statements(dialect)) out += s + QStringLiteral(";\n");
    return out;
}

}  // namespace vex::schema
