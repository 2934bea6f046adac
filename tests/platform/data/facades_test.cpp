// The facades' own logic, without a database: component names, OLE DB
// connection strings, the ODBC connection each kind's settings stand for,
// field conversions and the memory table with its copy.
#include "platform/data/ado.h"
#include "platform/data/dbexpress.h"
#include "platform/data/firedac.h"
#include "platform/data/mem_table.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/format_settings.h"
#include "tests/support/qstring_printer.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace data;

TEST(ComponentName, OnlyIdentifiersAreAccepted) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {
        {"TALVEN", true},  {"_TALVEN", true}, {"_", true},       {"db_2", true},   {"a1", true},
        {"1db", false},    {"MI BASE", false}, {"mi-base", false}, {"mi.base", false}, {"_x-y", false},
        {"ñandú", false},  {"a;b", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSQLConnection conn;
        const QString name = QString::fromUtf8(c.name);
        if (c.ok) {
            conn.SetName(name);
            EXPECT_EQ(conn.Name(), name);
        } else {
            EXPECT_THROW(conn.SetName(name), EDatabaseError);
            EXPECT_EQ(conn.Name(), QString());
        }
    }
}

TEST(OleDbConnectionString, ParsedByItsOwnRules) {
    const auto pairs = parseOleDbConnectionString(
        u"Provider=MSDASQL.1; Password=\"a;b\"\"c\" ;Persist Security Info=True;User ID='it''s';"
        "Data Source = TALVEN ;a==b=1;;bare;data source=LAST"_qs);
    ASSERT_EQ(pairs.size(), 7);
    EXPECT_EQ(pairs[0], (QPair<QString, QString>{u"Provider"_qs, u"MSDASQL.1"_qs}));
    EXPECT_EQ(pairs[1].second, u"a;b\"c"_qs);
    EXPECT_EQ(pairs[3].second, u"it's"_qs);
    EXPECT_EQ(pairs[4], (QPair<QString, QString>{u"Data Source"_qs, u"TALVEN"_qs}));
    EXPECT_EQ(pairs[5], (QPair<QString, QString>{u"a=b"_qs, u"1"_qs}));
    EXPECT_THROW(parseOleDbConnectionString(u"Password=\"open"_qs), EDatabaseError);
}

TEST(OleDbConnectionString, QuotedValuesReadBackUnchanged) {
    const QString values[] = {u"TALVEN"_qs, u"a;Provider=X"_qs, u"it's"_qs, u"say \"hi\""_qs,
                              u"both ' and \";"_qs, u" lead"_qs, u""_qs, u"SEñOR €"_qs};
    for (const QString& v : values) {
        SCOPED_TRACE(v.toStdString());
        const auto pairs = parseOleDbConnectionString(u"Provider=MSDASQL.1;Data Source="_qs + quoteOleDbValue(v) +
                                                      u";User ID=u"_qs);
        ASSERT_EQ(pairs.size(), 3);
        EXPECT_EQ(pairs[1].second, v);
        EXPECT_EQ(pairs[2].second, u"u"_qs);
    }
    EXPECT_EQ(quoteOleDbValue(u"TALVEN"_qs), u"TALVEN"_qs);
}

TEST(ConnectionStrings, EachKindStandsForOneOdbcConnection) {
    TSQLConnection sql;
    sql.DriverName = u"Odbc"_qs;
    sql.Params << u"DriverName=Odbc"_qs << u"User_Name=sysdba"_qs << u"Password=p;w}"_qs << u"DataBase=TALVEN"_qs
               << u"RowSetSize=20"_qs;
    EXPECT_EQ(sql.odbcConnectionString(), u"DSN=TALVEN;UID=sysdba;PWD={p;w}}}"_qs);
    EXPECT_EQ(sql.rowsPerFetch(), 20);
    sql.DriverName = u"Interbase"_qs;
    EXPECT_THROW(sql.odbcConnectionString(), EDatabaseError);

    TADOConnection ado;
    EXPECT_THROW(ado.odbcConnectionString(), EDatabaseError);
    ado.ConnectionString =
        u"Provider=MSDASQL.1;Password=x;Persist Security Info=True;User ID=sysdba;Data Source=\"A;DRIVER=evil\""_qs;
    EXPECT_EQ(ado.odbcConnectionString(), u"DSN={A;DRIVER=evil};UID=sysdba;PWD=x"_qs);
    EXPECT_FALSE(ado.readOnly());
    EXPECT_EQ(ado.rowsPerFetch(), 0);
    ado.ConnectionString = u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/a b.mdb;Persist Security Info=False"_qs;
    EXPECT_EQ(ado.odbcConnectionString(), u"DRIVER=MDBTools;DBQ=/data/a b.mdb"_qs);
    EXPECT_TRUE(ado.readOnly());
    ado.ConnectionString = u"Provider=SQLOLEDB;Data Source=x"_qs;
    EXPECT_THROW(ado.odbcConnectionString(), EDatabaseError);

    TFDConnection fd;
    fd.Params << u"User_Name=u"_qs << u"Password=p"_qs << u"DataSource=TALVEN"_qs << u"DriverID=ODBC"_qs;
    fd.DriverName = u"ODBC"_qs;
    fd.SetParamsDriverID(u"ODBC"_qs);
    EXPECT_EQ(fd.Params.count(u"DriverID=ODBC"_qs), 1);
    EXPECT_EQ(fd.odbcConnectionString(), u"DSN=TALVEN;UID=u;PWD=p"_qs);
    EXPECT_EQ(fd.rowsPerFetch(), 50);
    TFDConnection acc;
    acc.Params << u"User_Name=u"_qs << u"Password=p"_qs << u"DataBase=/x/{y}.mdb"_qs << u"ConnectionDef=Access_Demo"_qs;
    acc.DriverName = u"MSAcc"_qs;
    EXPECT_EQ(acc.odbcConnectionString(), u"DRIVER=MDBTools;DBQ={/x/{y}}.mdb}"_qs);
    EXPECT_TRUE(acc.readOnly());
}

TEST(Connection, OperationsOnAClosedConnectionRaiseClearly) {
    TADOConnection ado;
    EXPECT_FALSE(ado.Connected());
    EXPECT_THROW(ado.BeginTrans(), EDatabaseError);
    QStringList l;
    EXPECT_THROW(ado.GetTableNames(l), EDatabaseError);
    TADOQuery q;
    q.SetConnection(&ado);
    q.SQL() << u"select 1"_qs;
    EXPECT_THROW(q.Open(), EDatabaseError);
    EXPECT_FALSE(q.Active());
    EXPECT_THROW(q.ExecSQL(), EDatabaseError);
    TADOQuery orphan;
    EXPECT_THROW(orphan.ExecSQL(), EDatabaseError);
}

TEST(Connection, AQueryOutlivingItsConnectionIsSafe) {
    TFDQuery q;
    {
        TFDConnection c;
        q.SetConnection(&c);
        EXPECT_EQ(q.Connection(), &c);
    }
    EXPECT_EQ(q.Connection(), nullptr);
    EXPECT_THROW(q.Open(), EDatabaseError);
}

class MemTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = rtl::FormatSettings();
        t_.FieldDefs().Add(u"id"_qs, ftInteger);
        t_.FieldDefs().Add(u"nombre"_qs, ftString, 40);
        t_.FieldDefs().Add(u"peso"_qs, ftFloat);
        t_.FieldDefs().Add(u"fecha"_qs, ftDateTime);
        t_.Open();
    }
    void TearDown() override { rtl::FormatSettings() = saved_; }
    TFDMemTable t_;
    rtl::TFormatSettings saved_;
};

TEST_F(MemTableTest, FieldsReadAsIntegerTextAndNumberWithNullAsZeroOrEmpty) {
    t_.AppendRecord({QVariant(qlonglong(7)), QVariant(u"O'Brien"_qs), QVariant(2.5),
                     QVariant(rtl::EncodeDateTime(2021, 6, 28, 14, 5, 9))});
    t_.AppendRecord({});
    t_.Close();
    t_.Open();
    ASSERT_FALSE(t_.Eof());
    EXPECT_EQ(t_.FieldByName(u"ID"_qs).AsInteger(), 7);
    EXPECT_EQ(t_.FieldByName(u"id"_qs).AsString(), u"7"_qs);
    EXPECT_EQ(t_.Fields()[1].AsString(), u"O'Brien"_qs);
    EXPECT_DOUBLE_EQ(t_.FieldByName(u"Peso"_qs).AsFloat(), 2.5);
    EXPECT_EQ(t_.FieldByName(u"peso"_qs).AsInteger(), 2);  // 2.5 rounds to even
    rtl::FormatSettings().DecimalSeparator = u',';
    EXPECT_EQ(t_.FieldByName(u"peso"_qs).AsString(), u"2,5"_qs);
    EXPECT_EQ(t_.FieldByName(u"fecha"_qs).AsString(), u"28/06/2021 14:05:09"_qs);
    t_.Next();
    ASSERT_FALSE(t_.Eof());
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(t_.Fields()[i].IsNull());
        EXPECT_EQ(t_.Fields()[i].AsInteger(), 0);
        EXPECT_EQ(t_.Fields()[i].AsString(), QString());
        EXPECT_EQ(t_.Fields()[i].AsFloat(), 0.0);
    }
    t_.Next();
    EXPECT_TRUE(t_.Eof());
    t_.Next();  // at the end Next does nothing
    EXPECT_TRUE(t_.Eof());
}

TEST_F(MemTableTest, MissingFieldsAndValuesThatDoNotConvertRaiseNamingThem) {
    t_.AppendRecord({QVariant(u"12x"_qs), QVariant(u"abc"_qs), QVariant(1e12)});
    t_.First();
    try {
        t_.FieldByName(u"falta"_qs);
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains(u"falta"_qs)) << e.message().toStdString();
    }
    struct Case {
        int field;
        bool integer;
        const char* value;
    } cases[] = {{0, true, "12x"}, {1, true, "abc"}, {1, false, "abc"}, {2, true, "1e+12"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        TField& f = t_.Fields()[c.field];
        try {
            if (c.integer) (void)f.AsInteger();
            else (void)f.AsFloat();
            FAIL() << "no error";
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().contains(f.FieldName())) << e.message().toStdString();
        }
    }
    EXPECT_EQ(t_.Fields()[2].AsLargeInt(), 1000000000000LL);
}

TEST_F(MemTableTest, RecordCountLeavesTheCurrentRowAlone) {
    for (int i = 1; i <= 5; ++i) t_.AppendRecord({QVariant(qlonglong(i))});
    t_.Close();
    t_.Open();
    t_.Next();
    t_.Next();
    EXPECT_EQ(t_.RecordCount(), 5);
    EXPECT_EQ(t_.FieldByName(u"id"_qs).AsInteger(), 3);
    t_.Next();
    EXPECT_EQ(t_.FieldByName(u"id"_qs).AsInteger(), 4);
    t_.Close();
    EXPECT_THROW(t_.RecordCount(), EDatabaseError);
    EXPECT_TRUE(t_.Eof());
}

TEST_F(MemTableTest, CopyTakesStructureRestartsAndAppendsEachRow) {
    for (int i = 1; i <= 3; ++i) t_.AppendRecord({QVariant(qlonglong(i)), QVariant(u"n%1"_qs.arg(i))});
    t_.Close();
    t_.Open();
    t_.Next();  // the copy must start from the first row anyway

    TFDMemTable target;
    target.FieldDefs().Add(u"otro"_qs, ftString, 5);
    target.Open();
    target.AppendRecord({QVariant(u"old"_qs)});
    target.CopyDataSet(t_, {coStructure, coRestart, coAppend});
    EXPECT_TRUE(target.Active());
    QStringList names;
    target.GetFieldNames(names);
    EXPECT_EQ(names, (QStringList{u"id"_qs, u"nombre"_qs, u"peso"_qs, u"fecha"_qs}));
    EXPECT_EQ(target.RecordCount(), 3);
    QStringList seen;
    for (; !target.Eof(); target.Next()) seen << target.FieldByName(u"nombre"_qs).AsString();
    EXPECT_EQ(seen, (QStringList{u"n1"_qs, u"n2"_qs, u"n3"_qs}));
    EXPECT_EQ(target.FindField(u"otro"_qs), nullptr);

    TFDMemTable closed;
    EXPECT_THROW(target.CopyDataSet(closed, {coStructure}), EDatabaseError);
}

TEST(FieldConversions, IntegerRangeAndTextNumbers) {
    TFDMemTable t;
    t.FieldDefs().Add(u"v"_qs, ftString);
    t.Open();
    t.AppendRecord({QVariant(u" 42 "_qs)});
    t.AppendRecord({QVariant(u"-3.75"_qs)});
    t.AppendRecord({QVariant(qlonglong(std::numeric_limits<std::int32_t>::max()) + 1)});
    t.First();
    EXPECT_EQ(t.Fields()[0].AsInteger(), 42);
    EXPECT_DOUBLE_EQ(t.Fields()[0].AsFloat(), 42.0);
    t.Next();
    EXPECT_THROW((void)t.Fields()[0].AsInteger(), EDatabaseError);
    EXPECT_DOUBLE_EQ(t.Fields()[0].AsFloat(), -3.75);
    t.Next();
    EXPECT_THROW((void)t.Fields()[0].AsInteger(), EDatabaseError);
    EXPECT_EQ(t.Fields()[0].AsLargeInt(), 2147483648LL);
}

}  // namespace
