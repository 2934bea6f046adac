// Round trips through DBConn and TVexQuery per access kind, on SQLite3 ODBC
// and on a throwaway PostgreSQL cluster: one "select ... where key = literal"
// read, and one single-row update.
//
// Run: build, then  ./build/bench/database/bench_database
// It reuses the cluster the tests start (build/test-servers/) when it is
// running, and otherwise starts one there itself and stops it at the end.
#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "tests/support/odbc_test_env.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

namespace {

enum Backend { Sqlite = 0, Postgres = 1 };

struct Setup {
    vextest::OdbcTestEnv env;
    std::optional<vextest::ScratchDatabase> scratch;
    DBConn conn;
};

void run(DBConn& c, const QString& sql) {
    TVexQuery q(c);
    q.SQL() << sql;
    q.ExecSQL();
}

// One database per backend and kind, made on first use, released before the
// server stops.
std::map<std::pair<int, int>, std::unique_ptr<Setup>> setups;

Setup& setupFor(Backend b, TDBAccess kind) {
    auto& slot = setups[{b, kind}];
    if (slot) return *slot;
    slot = std::make_unique<Setup>();
    Setup& s = *slot;
    if (b == Sqlite) {
        s.env.addSqliteDsn(QStringLiteral("TALVEN"), s.env.filePath(QStringLiteral("bench.db")));
    } else {
        s.scratch.emplace(vextest::Engine::Postgres);
        s.env.addPostgresDsn(QStringLiteral("TALVEN"), s.scratch->name());
    }
    TDBParameters p;
    p.Alias = QStringLiteral("TALVEN");
    p.Username = QStringLiteral("sysdba");
    p.Password = QStringLiteral("bluefoxes");
    p.Tipo = kind;
    if (!s.conn.Connect(p, {})) throw std::runtime_error("cannot connect");
    run(s.conn, QStringLiteral("create table clientes (codigo integer primary key, nombre varchar(60), peso double precision)"));
    for (int i = 1; i <= 1000; ++i)
        run(s.conn, QStringLiteral("insert into clientes (codigo, nombre, peso) values (%1, 'CLIENTE %1', %1.5)").arg(i));
    return s;
}

void BM_SelectByKey(benchmark::State& state) {
    const auto b = static_cast<Backend>(state.range(0));
    const auto kind = static_cast<TDBAccess>(state.range(1));
    Setup& s = setupFor(b, kind);
    TVexQuery q(s.conn);
    int key = 1;
    for (auto _ : state) {
        q.SetActive(false);
        q.SQL().clear();
        q.SQL() << QStringLiteral("select codigo, nombre from clientes") << QStringLiteral("where codigo = :codigo");
        q.Parameters() << QStringLiteral("codigo=%1").arg(key);
        q.SetActive(true);
        benchmark::DoNotOptimize(q.FieldByName(QStringLiteral("nombre")).AsString());
        key = key % 1000 + 1;
    }
}

void BM_UpdateOneRow(benchmark::State& state) {
    const auto b = static_cast<Backend>(state.range(0));
    const auto kind = static_cast<TDBAccess>(state.range(1));
    Setup& s = setupFor(b, kind);
    TVexQuery q(s.conn);
    int n = 0;
    for (auto _ : state) {
        q.SetActive(false);
        q.SQL().clear();
        q.SQL() << QStringLiteral("update clientes set peso = %1").arg(++n) << QStringLiteral("where codigo = 500");
        q.ExecSQL();
    }
}

void kinds(benchmark::internal::Benchmark* bm) {
    bm->ArgNames({"pg", "kind"});
    for (int b : {Sqlite, Postgres})
        for (int k : {BDAdo, BDSqlConn, BDFireDac}) bm->Args({b, k});
}

BENCHMARK(BM_SelectByKey)->Apply(kinds);
BENCHMARK(BM_UpdateOneRow)->Apply(kinds);

bool postgresRunning() {
    try {
        vextest::ScratchDatabase probe(vextest::Engine::Postgres);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string script = std::string("bash '") + VEX_TEST_SERVER_SCRIPT + "' ";
    const std::string dir = std::string(" '") + VEX_TEST_SERVERS_DIR + "'";
    bool started = false;
    if (!postgresRunning()) {
        if (std::system((script + "start pg" + dir + " >/dev/null").c_str()) != 0) return 1;
        started = true;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setups.clear();
    if (started) std::system((script + "stop pg" + dir + " >/dev/null").c_str());
    return 0;
}
