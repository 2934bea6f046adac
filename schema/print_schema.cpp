// Prints the agent database's tables for one engine, e.g.
//   vex_schema_sql sqlite | sqlite3 agent.db
//   vex_schema_sql postgresql | psql -d agent
#include "schema/schema.h"

#include <cstdio>

int main(int argc, char** argv) {
    const auto dialect =
        argc == 2 ? vex::schema::dialectFromName(QString::fromLocal8Bit(argv[1])) : std::nullopt;
    if (!dialect) {
        std::fprintf(stderr, "usage: %s sqlite|postgresql\n", argc > 0 ? argv[0] : "vex_schema_sql");
        return 2;
    }
    std::fputs(vex::schema::script(*dialect).toUtf8().constData(), stdout);
    return 0;
}
