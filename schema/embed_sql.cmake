# Writes the SQL file IN into the C++ source OUT as the string kAgentTablesSql.
file(READ "${IN}" sql)
file(WRITE "${OUT}" "// Generated from ${IN}; edit that file instead.\n"
  "extern const char kAgentTablesSql[];\n"
  "const char kAgentTablesSql[] = R\"vexsql(${sql})vexsql\";\n")
