// The tables of the agent's database, from one SQL source
// (schema/agent_tables.sql) for every engine the program runs on.
//
// The tests create their databases with it, the demo database is made from
// it, and `vex_schema_sql sqlite|postgresql` prints it. Adding a table is one
// edit of the SQL file; engine differences go through the tokens listed at
// its top.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vex::schema {

enum class Dialect { SQLite, PostgreSQL };

// "sqlite" or "postgresql" (letter case ignored; also "sqlite3", "postgres",
// "pg"), else nothing.
std::optional<Dialect> dialectFromName(const QString& name);

// The create statements, in order, without comments or the closing ";",
// tokens replaced for `dialect`.
QStringList statements(Dialect dialect);

// The same as one script: each statement followed by ";" and a line break.
QString script(Dialect dialect);

}  // namespace vex::schema
