// DBConn and TVexQuery through each access kind, on SQLite3 ODBC and on
// PostgreSQL through its Unicode driver: connecting, the query cycle, numbers
// under the users' comma locale, parameters, counts, the log, adding columns, the copy into a memory table
// and next-code reservation with its race.
#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "platform/runtime/numbers.h"
#include "tests/database/db_test_support.h"
#include "tests/support/process_locale.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using dbtest::Backend;
using dbtest::Database;
using dbtest::StatementRecorder;

class KindTest : public ::testing::TestWithParam<std::tuple<Backend, TDBAccess>> {
protected:
    void SetUp() override {
        db_ = std::make_unique<Database>(std::get<0>(GetParam()));
        ASSERT_TRUE(conn_.Connect(db_->parameters(kind()), {}));
    }
    TDBAccess kind() const { return std::get<1>(GetParam()); }
    bool postgres() const { return std::get<0>(GetParam()) == Backend::Postgres; }

    // Runs one statement through a query of the connection.
    void run(const QString& sql) {
        TVexQuery q(conn_);
        q.SQL() << sql;
        q.ExecSQL();
    }

    std::unique_ptr<Database> db_;
    DBConn conn_;
};

std::string kindTestName(const ::testing::TestParamInfo<KindTest::ParamType>& info) {
    return std::string(dbtest::backendName(std::get<0>(info.param))) + "_" + dbtest::kindName(std::get<1>(info.param));
}

TEST_P(KindTest, ConnectRecordsTheRequestAndOpensTheComponentOfTheKind) {
    EXPECT_EQ(conn_.tipo, kind());
    EXPECT_EQ(conn_.Alias, u"TALVEN"_qs);
    EXPECT_EQ(conn_._usuario(), u"sysdba"_qs);
    EXPECT_EQ(conn_.TipoMotor, QString());  // neither driver names a known engine
    EXPECT_TRUE(conn_.IsConnected());
    data::TCustomConnection* c = kind() == BDAdo ? static_cast<data::TCustomConnection*>(conn_.ADODB())
                                 : kind() == BDSqlConn ? static_cast<data::TCustomConnection*>(conn_.SQLDB())
                                                       : conn_.FDCDB();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name(), u"_TALVEN"_qs);
    EXPECT_FALSE(c->LoginPrompt);
    conn_.DeConnect();
    EXPECT_FALSE(conn_.IsConnected());
    // A later connect of the same kind reuses the component.
    ASSERT_TRUE(conn_.Connect(db_->parameters(kind()), u"Principal"_qs));
    EXPECT_EQ(c->Name(), u"Principal"_qs);
    EXPECT_TRUE(conn_.IsConnected());
}

TEST_P(KindTest, AFailedOpeningAnswersFalseAndKeepsTheConfiguredComponent) {
    TDBParameters p = db_->parameters(kind());
    p.Alias = u"NOEXISTE"_qs;
    DBConn other;
    EXPECT_FALSE(other.Connect(p, {}));
    EXPECT_EQ(other.tipo, kind());
    EXPECT_EQ(other.Alias, u"NOEXISTE"_qs);
    EXPECT_FALSE(other.IsConnected());
    switch (kind()) {
    case BDAdo:
        ASSERT_NE(other.ADODB(), nullptr);
        EXPECT_EQ(other.ADODB()->Name(), u"_NOEXISTE"_qs);
        EXPECT_EQ(other.ADODB()->ConnectionString,
                  u"Provider=MSDASQL.1;Password=bluefoxes;Persist Security Info=True;User ID=sysdba;"
                  "Data Source=NOEXISTE"_qs);
        EXPECT_EQ(other.ADODB()->IsolationLevel, data::ilReadUncommitted);
        break;
    case BDSqlConn:
        ASSERT_NE(other.SQLDB(), nullptr);
        EXPECT_EQ(other.SQLDB()->Params,
                  (QStringList{u"DriverName=Odbc"_qs, u"User_Name=sysdba"_qs, u"Password=bluefoxes"_qs,
                               u"DataBase=NOEXISTE"_qs, u"IsolationLevel=ReadCommitted"_qs, u"RowSetSize=20"_qs}));
        EXPECT_EQ(other.SQLDB()->ConnectionName, u"OdbcConnection"_qs);
        break;
    default:
        ASSERT_NE(other.FDCDB(), nullptr);
        EXPECT_EQ(other.FDCDB()->Params, (QStringList{u"User_Name=sysdba"_qs, u"Password=bluefoxes"_qs,
                                                       u"DataSource=NOEXISTE"_qs, u"DriverID=ODBC"_qs}));
        EXPECT_EQ(other.FDCDB()->FetchOptions.RowsetSize, 50);
        EXPECT_EQ(other.FDCDB()->FetchOptions.Mode, data::fmOnDemand);
        break;
    }
    // A name that is no identifier is refused, unguarded.
    p.Alias = u"MI BASE"_qs;
    EXPECT_THROW(other.Connect(p, {}), data::EDatabaseError);
}

TEST_P(KindTest, QueryCycleReadsRowsFieldsAndNulls) {
    run(u"create table clientes (id integer, nombre varchar(60), peso double precision)"_qs);
    const QString name = u"SEñOR PéREZ O'Brien ü € \\n"_qs;
    TVexQuery q(conn_);
    q.SetActive(false);
    q.SQL().clear();
    q.SQL() << u"insert into clientes (id, nombre, peso)"_qs << u"values (1, "_qs + q.StrQuoted(name, true, true) + u", 2.5)"_qs;
    q.ExecSQL();
    q.SQL().clear();
    q.SQL() << u"insert into clientes (id) values (2)"_qs;
    q.ExecSQL();

    q.SetActive(false);
    q.SQL().clear();
    q.SQL() << u"select id, nombre, peso from clientes"_qs << u"where id >= :desde order by id"_qs;
    q.Parameters() << u"desde=1"_qs;
    q.SetActive(true);
    ASSERT_TRUE(q.Active());
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(u"ID"_qs).AsInteger(), 1);
    EXPECT_EQ(q.FieldByName(u"Nombre"_qs).AsString(), name);
    EXPECT_DOUBLE_EQ(q.FieldByName(u"peso"_qs).AsFloat(), 2.5);
    EXPECT_EQ(q.Fields()[0].AsInteger(), 1);
    EXPECT_EQ(q.RecordCount(), 2);
    EXPECT_EQ(q.FieldByName(u"id"_qs).AsInteger(), 1);  // the count left the row alone
    q.Next();
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.FieldByName(u"nombre"_qs).AsString(), QString());
    EXPECT_EQ(q.FieldByName(u"peso"_qs).AsFloat(), 0.0);
    EXPECT_EQ(q.FieldByName(u"peso"_qs).AsInteger(), 0);
    EXPECT_THROW(q.FieldByName(u"falta"_qs), data::EDatabaseError);
    q.Next();
    EXPECT_TRUE(q.Eof());
    QStringList names;
    q.GetFieldNames(names);
    EXPECT_EQ(names.size(), 3);
    EXPECT_EQ(names[1].toLower(), u"nombre"_qs);
    // The statement's own lines now hold the value.
    EXPECT_EQ(q.SQL()[1], u"where id >= 1 order by id"_qs);

    q.SetActive(false);
    EXPECT_FALSE(q.Active());
    EXPECT_TRUE(q.Parameters().isEmpty());
    q.SQL().clear();
    q.SQL() << u"select id from clientes where id > 5"_qs;
    q.SetActive(true);
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(q.RecordCount(), 0);
    // While closed, the names come from the field definitions.
    q.Close();
    q.GetFieldNames(names);
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(names[0].toLower(), u"id"_qs);
}

// Under es_UY (decimal comma) in the C library, the numbers a statement
// carries keep their point and come back as stored, exact decimals included.
TEST_P(KindTest, NumbersGoInAndComeBackTheSameUnderACommaLocale) {
    vextest::ProcessLocale comma;
    ASSERT_TRUE(comma.ok());
    run(u"create table lineas (id integer, pesobruto double precision, volumen numeric(14,3))"_qs);
    const struct {
        double peso, volumen;
    } filas[] = {{12.5, 10.125}, {-1.5E-5, 0.25}, {1E15, 1234567.5}};
    int id = 0;
    for (const auto& f : filas)
        run(u"insert into lineas values ("_qs + QString::number(++id) + u", "_qs + rtl::FloatToStrSql(f.peso) +
            u", "_qs + rtl::FormatFixedSql(f.volumen, 3) + u")"_qs);
    TVexQuery q(conn_);
    q.SQL() << u"select pesobruto, volumen, volumen * 2 as doble from lineas order by id"_qs;
    q.SetActive(true);
    for (const auto& f : filas) {
        ASSERT_FALSE(q.Eof());
        EXPECT_EQ(q.FieldByName(u"pesobruto"_qs).AsFloat(), f.peso);
        EXPECT_EQ(q.FieldByName(u"volumen"_qs).AsFloat(), f.volumen);
        EXPECT_EQ(q.FieldByName(u"doble"_qs).AsFloat(), f.volumen * 2);
        q.Next();
    }
    EXPECT_TRUE(q.Eof());
}

TEST_P(KindTest, RowsAreReadAcrossFetchBlocks) {
    run(u"create table n (v integer)"_qs);
    TVexQuery ins(conn_);
    for (int i = 1; i <= 123; ++i) {
        ins.SQL().clear();
        ins.SQL() << u"insert into n (v) values (%1)"_qs.arg(i);
        ins.ExecSQL();
    }
    TVexQuery q(conn_);
    q.SQL() << u"select v from n order by v"_qs;
    q.SetActive(true);
    int expected = 1;
    for (; !q.Eof(); q.Next()) {
        ASSERT_EQ(q.FieldByName(u"v"_qs).AsInteger(), expected);
        if (expected == 30) {
            EXPECT_EQ(q.RecordCount(), 123);
        }
        ++expected;
    }
    EXPECT_EQ(expected, 124);
}

// Quoted the program's way, a consignee from a workbook is stored as written
// also where the server's own default reads a backslash as an escape.
TEST_P(KindTest, QuotedTextIsStoredAsWrittenWhateverTheServersDefault) {
    run(u"create table clientes (nombre varchar(80))"_qs);
    run(u"insert into clientes (nombre) values ('QUEDA')"_qs);
    if (postgres())
        db_->exec(u"alter database %1 set standard_conforming_strings = off"_qs.arg(db_->serverDatabase()));
    DBConn later;  // a session that starts with the database's new default
    ASSERT_TRUE(later.Connect(db_->parameters(kind()), {}));
    if (postgres()) {
        TVexQuery show(later);
        show.SQL() << u"select reset_val from pg_settings where name = 'standard_conforming_strings'"_qs;
        show.SetActive(true);
        ASSERT_EQ(show.Fields()[0].AsString(), u"off"_qs) << "the session must start off, or this proves nothing";
    }
    const QString hostile = u"\\'); delete from clientes; -- C:\\RUTA\\? O'BRIEN \\\\"_qs;
    TVexQuery q(later);
    q.SQL() << u"insert into clientes (nombre) values ("_qs + q.StrQuoted(hostile, true, true) + u")"_qs;
    q.ExecSQL();
    EXPECT_EQ(db_->column(u"select nombre from clientes order by nombre"_qs), (QStringList{u"QUEDA"_qs, hostile}));
}

TEST_P(KindTest, RejectedStatementsRaiseTheDatabaseError) {
    TVexQuery q(conn_);
    q.SQL() << u"select * from no_existe"_qs;
    EXPECT_THROW(q.SetActive(true), odbc::Error);
    EXPECT_FALSE(q.Active());
    q.SQL().clear();
    q.SQL() << u"drop table no_existe"_qs;
    EXPECT_THROW(q.ExecSQL(), odbc::Error);
}

TEST_P(KindTest, SetQueryComparesTheTextExactly) {
    run(u"create table t (id integer)"_qs);
    run(u"insert into t (id) values (1)"_qs);
    run(u"insert into t (id) values (2)"_qs);
    TVexQuery q(conn_);
    const QStringList stmt{u"select id from t"_qs, u"order by id"_qs};
    q.SetQuery(stmt);
    q.Parameters() << u"x=1"_qs;
    q.SetActive(true);
    q.Next();
    q.SetQuery(stmt);  // the same text: still open on the second row
    ASSERT_TRUE(q.Active());
    EXPECT_EQ(q.FieldByName(u"id"_qs).AsInteger(), 2);
    q.SetQuery({u"SELECT id from t"_qs, u"order by id"_qs});
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.SQL()[0], u"SELECT id from t"_qs);
    // Neither opening nor replacing the statement empties the parameter list.
    EXPECT_EQ(q.Parameters(), QStringList{u"x=1"_qs});
}

TEST_P(KindTest, ExecSqlLogsWhenAskedAndNeverSubstitutes) {
    run(u"create table t (id integer, txt varchar(20))"_qs);
    LogsQuerys.clear();
    TVexQuery q(conn_);
    q.SQL() << u"insert into t (id, txt)"_qs << u"values (1, ':id')"_qs;
    q.Parameters() << u"id=7"_qs;
    q.ExecSQL();
    EXPECT_TRUE(LogsQuerys.isEmpty());
    q.log = true;
    q.ExecSQL();
    ASSERT_EQ(LogsQuerys.size(), 2);
    EXPECT_EQ(LogsQuerys[1], u"insert into t (id, txt)\r\nvalues (1, ':id')\r\n"_qs);
    EXPECT_EQ(q.Parameters(), QStringList{u"id=7"_qs});
    EXPECT_EQ(db_->column(u"select txt from t"_qs), (QStringList{u":id"_qs, u":id"_qs}));
    LogsQuerys.clear();
}

TEST_P(KindTest, RecordCountOfTheKind) {
    run(u"create table manifiestos (id integer, clave varchar(10))"_qs);
    for (int i = 1; i <= 3; ++i) run(u"insert into manifiestos (id, clave) values (%1, 'k%1')"_qs.arg(i));
    StatementRecorder rec;
    TVexQuery q(conn_);
    q.SQL() << u"select id, clave from manifiestos"_qs << u"order by id desc"_qs;
    q.SetActive(true);
    q.Next();
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.FieldByName(u"id"_qs).AsInteger(), 2);
    EXPECT_EQ(q.SQL().size(), 2);
    if (kind() == BDFireDac) {
        ASSERT_EQ(rec.statements.size(), 2);
        EXPECT_EQ(rec.statements[1], u"select count(*)  from manifiestos \r\n"_qs);
        // Without " FROM " the whole statement is counted and the database refuses it.
        q.SetActive(false);
        q.SQL().clear();
        q.SQL() << u"select 1"_qs;
        q.SetActive(true);
        EXPECT_ANY_THROW(q.RecordCount());
        // A name holding ORDER cuts the count there.
        q.SetActive(false);
        q.SQL().clear();
        q.SQL() << u"select id from manifiestos where clave <> 'BORDERLINE'"_qs;
        q.SetActive(true);
        rec.statements.clear();
        EXPECT_ANY_THROW(q.RecordCount());
        ASSERT_FALSE(rec.statements.isEmpty());
        EXPECT_EQ(rec.statements.last(), u"select count(*)  from manifiestos where clave <> 'B\r\n"_qs);
    }
}

TEST_P(KindTest, TableNamesAndTransactions) {
    run(u"create table conocimientos (id integer)"_qs);
    run(u"create view v_conocimientos as select id from conocimientos"_qs);
    QStringList l;
    conn_.GetTableNames(l);
    QStringList lower;
    for (const QString& s : l) lower << s.toLower();
    EXPECT_TRUE(lower.contains(u"conocimientos"_qs)) << l.join(u',').toStdString();
    EXPECT_TRUE(lower.contains(u"v_conocimientos"_qs)) << l.join(u',').toStdString();
    for (const QString& s : lower) EXPECT_FALSE(s.startsWith(u"sqlite_"_qs) || s.startsWith(u"pg_"_qs)) << s.toStdString();

    // ADO commits what the transaction wrote; the other kinds do nothing.
    conn_.BeginTransaction();
    run(u"insert into conocimientos (id) values (1)"_qs);
    // Until the commit another client sees nothing of it; without a
    // transaction the row is there at once.
    EXPECT_EQ(db_->column(u"select id from conocimientos"_qs),
              kind() == BDAdo ? QStringList{} : QStringList{u"1"_qs});
    conn_.EndTransaction();
    EXPECT_EQ(db_->column(u"select id from conocimientos"_qs), QStringList{u"1"_qs});
}

TEST_P(KindTest, VerificarCampoAddsAColumnOnce) {
    run(u"create table config01 (id integer)"_qs);
    TVexQuery q(conn_);
    EXPECT_TRUE(q.verificar_campo(u"userdna"_qs, u"config01"_qs, data::ftString, 40, u"ignored"_qs));
    EXPECT_EQ(q.SQL(), QStringList{u"alter table config01 add userdna varchar(40)"_qs});
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.verificar_campo(u"userdna"_qs, u"config01"_qs, data::ftString, 40, {}));
    EXPECT_TRUE(q.verificar_campo(u"peso"_qs, u"config01"_qs, data::ftFloat, 0, {}));
    EXPECT_EQ(q.SQL(), QStringList{u"alter table config01 add peso DOUBLE PRECISION"_qs});
    EXPECT_TRUE(q.verificar_campo(u"alta"_qs, u"config01"_qs, data::ftDateTime, 0, {}));
    EXPECT_TRUE(q.verificar_campo(u"n"_qs, u"config01"_qs, data::ftInteger, 0, {}));
    EXPECT_FALSE(q.verificar_campo(u"x"_qs, u"no_existe"_qs, data::ftInteger, 0, {}));

    // A type outside the four leaves statement, parameters and open state.
    q.SetActive(false);
    q.SQL().clear();
    q.SQL() << u"select id from config01"_qs;
    q.SetActive(true);
    q.Parameters() << u"a=1"_qs;
    EXPECT_FALSE(q.verificar_campo(u"b"_qs, u"config01"_qs, data::ftBoolean, 0, {}));
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.SQL(), QStringList{u"select id from config01"_qs});
    EXPECT_EQ(q.Parameters(), QStringList{u"a=1"_qs});
    EXPECT_EQ(db_->column(u"select count(*) from config01"_qs), QStringList{u"0"_qs});
}

TEST_P(KindTest, CopyIntoAMemoryTable) {
    run(u"create table lineas (id integer, descripcion varchar(30))"_qs);
    run(u"insert into lineas (id, descripcion) values (1, 'uno')"_qs);
    run(u"insert into lineas (id, descripcion) values (2, 'dos')"_qs);
    TVexQuery q(conn_);
    q.SQL() << u"select id, descripcion from lineas order by id"_qs;
    q.SetActive(true);
    q.Next();
    data::TFDMemTable mem;
    mem.FieldDefs().Add(u"otro"_qs, data::ftInteger);
    mem.Open();
    mem.AppendRecord({QVariant(qlonglong(9))});
    q.copio_a_memTable(mem);
    ASSERT_TRUE(mem.Active());
    EXPECT_EQ(mem.FindField(u"otro"_qs), nullptr);
    EXPECT_EQ(mem.RecordCount(), 2);
    EXPECT_EQ(mem.FieldByName(u"id"_qs).AsInteger(), 1);
    EXPECT_EQ(mem.FieldByName(u"descripcion"_qs).AsString(), u"uno"_qs);
    mem.Next();
    EXPECT_EQ(mem.FieldByName(u"descripcion"_qs).AsString(), u"dos"_qs);
}

// ---- next-code reservation

enum class Method { Nombre, Codigo };

std::int32_t reserve(TVexQuery& q, Method m, const QString& tabla, const QString& campo, std::int32_t valor) {
    return m == Method::Nombre ? q.ProximoCodigoNombre(tabla, campo, valor) : q.ProximoCodigo(tabla, valor, campo);
}

TEST_P(KindTest, ReservationsOnEmptyTableHighestGivenAndNegative) {
    for (Method m : {Method::Nombre, Method::Codigo}) {
        SCOPED_TRACE(m == Method::Nombre ? "ProximoCodigoNombre" : "ProximoCodigo");
        run(u"drop table if exists guias"_qs);
        run(u"create table guias (codigo integer not null unique, nota varchar(10))"_qs);
        TVexQuery q(conn_);
        q.SQL() << u"select 1 from guias"_qs;
        q.Parameters() << u"a=1"_qs;
        q.log = true;
        LogsQuerys.clear();

        EXPECT_EQ(reserve(q, m, u"guias"_qs, u"codigo"_qs, 0), 1);
        EXPECT_EQ(q.SQL(), (QStringList{u"INSERT INTO guias (codigo) Values ("_qs, u"1)"_qs}));
        EXPECT_FALSE(q.Active());
        EXPECT_EQ(q.Parameters(), QStringList{u"a=1"_qs});
        EXPECT_TRUE(LogsQuerys.isEmpty());

        db_->exec(u"insert into guias (codigo) values (41)"_qs);
        {
            StatementRecorder rec;
            EXPECT_EQ(reserve(q, m, u"guias"_qs, u"codigo"_qs, 0), 42);
            EXPECT_EQ(rec.statements, (QStringList{u"SELECT MAX(codigo) AS MaxCodigo From guias\r\n"_qs,
                                                   u"INSERT INTO guias (codigo) Values (\r\n42)\r\n"_qs}));
        }
        db_->exec(u"insert into guias (codigo, nota) values (7, 'vieja')"_qs);
        {
            StatementRecorder rec;
            EXPECT_EQ(reserve(q, m, u"guias"_qs, u"codigo"_qs, 7), 7);
            QStringList expected{u"delete from guias\r\nwhere codigo = 7\r\n"_qs,
                                 u"INSERT INTO guias (codigo) Values (\r\n7)\r\n"_qs};
            // Only ProximoCodigo on FireDAC reads the highest first.
            if (m == Method::Codigo && kind() == BDFireDac)
                expected.prepend(u"SELECT MAX(codigo) AS MaxCodigo From guias\r\n"_qs);
            EXPECT_EQ(rec.statements, expected);
        }
        EXPECT_TRUE(q.SQL().isEmpty());
        EXPECT_EQ(db_->column(u"select nota from guias where codigo = 7"_qs), QStringList{QString()});
        EXPECT_EQ(reserve(q, m, u"guias"_qs, u"codigo"_qs, -3), -3);
        EXPECT_EQ(db_->column(u"select codigo from guias order by codigo"_qs),
                  (QStringList{u"-3"_qs, u"1"_qs, u"7"_qs, u"41"_qs, u"42"_qs}));
        // A given code that cannot be inserted raises at once.
        EXPECT_ANY_THROW(reserve(q, m, u"no_existe"_qs, u"codigo"_qs, 5));
        EXPECT_ANY_THROW(reserve(q, m, u"no_existe"_qs, u"codigo"_qs, 0));
        EXPECT_TRUE(LogsQuerys.isEmpty());
    }
}

TEST_P(KindTest, ReservationRaceGivesTheOutcomeOfEachReadingOrder) {
    for (Method m : {Method::Nombre, Method::Codigo}) {
        SCOPED_TRACE(m == Method::Nombre ? "ProximoCodigoNombre" : "ProximoCodigo");
        run(u"drop table if exists guias"_qs);
        run(u"create table guias (codigo integer not null unique)"_qs);
        db_->exec(u"insert into guias (codigo) values (10)"_qs);
        // Another client inserts 11 and 15 once the highest (10) has been
        // read, just before the first insert reaches the database.
        auto other = db_->otherClient();
        bool done = false;
        QStringList ran;
        data::TCustomSQLQuery::setStatementHookForTesting([&](const QString& sql) {
            ran << sql;
            if (done || !sql.startsWith(u"INSERT INTO"_qs)) return;
            done = true;
            odbc::Statement st(*other);
            st.execDirect(u"insert into guias (codigo) values (11)"_qs);
            st.execDirect(u"insert into guias (codigo) values (15)"_qs);
        });
        TVexQuery q(conn_);
        const std::int32_t got = reserve(q, m, u"guias"_qs, u"codigo"_qs, 0);
        data::TCustomSQLQuery::setStatementHookForTesting({});
        const bool counting = m == Method::Codigo && kind() == BDFireDac;
        EXPECT_EQ(got, counting ? 12 : 16);
        // Counting upwards reads the highest once; the other order reads it
        // before every attempt.
        const QString max = u"SELECT MAX(codigo) AS MaxCodigo From guias\r\n"_qs;
        const auto insert = [](int code) { return u"INSERT INTO guias (codigo) Values (\r\n%1)\r\n"_qs.arg(code); };
        EXPECT_EQ(ran, counting ? (QStringList{max, insert(11), insert(12)})
                                : (QStringList{max, insert(11), max, insert(16)}));
        EXPECT_EQ(db_->column(u"select codigo from guias order by codigo"_qs),
                  counting ? (QStringList{u"10"_qs, u"11"_qs, u"12"_qs, u"15"_qs})
                           : (QStringList{u"10"_qs, u"11"_qs, u"15"_qs, u"16"_qs}));
    }
}

TEST_P(KindTest, ReservationsBesideTheHighestPossibleCode) {
    run(u"create table guias (codigo integer not null unique)"_qs);
    db_->exec(u"insert into guias (codigo) values (2147483647)"_qs);
    for (Method m : {Method::Nombre, Method::Codigo}) {
        SCOPED_TRACE(m == Method::Nombre ? "ProximoCodigoNombre" : "ProximoCodigo");
        TVexQuery q(conn_);
        // No code follows the highest: an error, never a code wrapped around.
        EXPECT_THROW(reserve(q, m, u"guias"_qs, u"codigo"_qs, 0), EReservaCodigo);
        // A given code needs no successor, whatever the highest.
        EXPECT_EQ(reserve(q, m, u"guias"_qs, u"codigo"_qs, 7), 7);
    }
    EXPECT_EQ(db_->column(u"select codigo from guias order by codigo"_qs),
              (QStringList{u"7"_qs, u"2147483647"_qs}));
}

TEST_P(KindTest, AReservationWhoseInsertAlwaysFailsEndsWithAnError) {
    // A row holding only the code is refused: the other column cannot be NULL.
    run(u"create table tarifas (codigo integer unique, importe integer not null)"_qs);
    run(u"insert into tarifas (codigo, importe) values (3, 1)"_qs);
    for (Method m : {Method::Nombre, Method::Codigo}) {
        SCOPED_TRACE(m == Method::Nombre ? "ProximoCodigoNombre" : "ProximoCodigo");
        TVexQuery q(conn_);
        try {
            reserve(q, m, u"tarifas"_qs, u"codigo"_qs, 0);
            FAIL() << "no error";
        } catch (const EReservaCodigo& e) {
            EXPECT_TRUE(e.message().contains(u"tarifas"_qs)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(u"codigo"_qs)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(u"importe"_qs, Qt::CaseInsensitive) ||
                        e.message().contains(u"NULL"_qs, Qt::CaseInsensitive))
                << e.message().toStdString();
        }
        EXPECT_EQ(db_->column(u"select count(*) from tarifas"_qs), QStringList{u"1"_qs});
    }
}

// One process, TALVEN on SQLite and then on PostgreSQL: the second case runs
// on PostgreSQL although the driver manager remembered TALVEN's SQLite driver
// when it began, and a wrong password is refused there.
TEST(EngineSwitch, APostgresCaseAfterAnSqliteCaseRunsOnPostgres) {
    for (Backend b : {Backend::Sqlite, Backend::Postgres}) {
        SCOPED_TRACE(dbtest::backendName(b));
        Database db(b);
        DBConn conn;
        ASSERT_TRUE(conn.Connect(db.parameters(BDFireDac), {}));
        EXPECT_EQ(conn.FDCDB()->odbcConnection().dbmsName(), QString::fromLatin1(dbtest::backendName(b)));
        TDBParameters wrong = db.parameters(BDFireDac);
        wrong.Password = u"no-es-la-clave"_qs;
        DBConn other;
        EXPECT_EQ(other.Connect(wrong, {}), b == Backend::Sqlite) << "SQLite has no passwords; PostgreSQL refuses";
    }
}

TEST(EngineSwitch, TheSupportRefusesAConnectionOnAnotherEngine) {
    Database db(Backend::Sqlite);
    const auto c = db.otherClient();
    EXPECT_NO_THROW(vextest::requireDbms(*c, vextest::Dbms::SQLite, u"TALVEN"_qs));
    EXPECT_THROW(vextest::requireDbms(*c, vextest::Dbms::PostgreSQL, u"TALVEN"_qs), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, KindTest,
                         ::testing::Combine(::testing::Values(Backend::Sqlite, Backend::Postgres),
                                            ::testing::Values(BDAdo, BDSqlConn, BDFireDac)),
                         kindTestName);

}  // namespace
