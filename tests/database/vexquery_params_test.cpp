// Parameter substitution and the open/close cycle's effect on the parameter
// list. The lines are rewritten before the opening, so a query on a
// connection component that is not open shows the substitution and then
// fails to open.
#include "database/VexQuery.h"
#include "tests/support/qstring_printer.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// The lines after SetActive(true) with these parameter entries.
QStringList substituted(const QStringList& lines, const QStringList& params) {
    data::TSQLConnection closed;
    TVexQuery q(closed);
    q.SQL() = lines;
    q.Parameters() = params;
    EXPECT_THROW(q.SetActive(true), data::EDatabaseError);
    EXPECT_EQ(q.Parameters(), params);  // a failed open keeps the entries
    return q.SQL();
}

TEST(Parameters, SubstitutionCases) {
    struct Case {
        const char* name;
        QStringList lines, params, out;
    } cases[] = {
        {"every occurrence in every line, any case",
         {u"select * from t where id = :id or ID2 = :ID"_qs, u"and x = :Id"_qs},
         {u"id=7"_qs},
         {u"select * from t where id = 7 or ID2 = 7"_qs, u"and x = 7"_qs}},
        {"no word boundaries", {u"where a = :idx"_qs}, {u"id=7"_qs}, {u"where a = 7x"_qs}},
        {"value holding a later placeholder is replaced too",
         {u"v = :a"_qs}, {u"a=:b"_qs, u"b=2"_qs}, {u"v = 2"_qs}},
        {"value holding an earlier placeholder stays",
         {u"v = :b"_qs}, {u"a=1"_qs, u"b=:a"_qs}, {u"v = :a"_qs}},
        {"first of two same names wins", {u"v = :n"_qs}, {u"n=1"_qs, u"N=2"_qs}, {u"v = 1"_qs}},
        {"raw SQL, no quoting", {u"n = :n"_qs}, {u"n='x'' or 1=1"_qs}, {u"n = 'x'' or 1=1"_qs}},
        {"value after the first =", {u":n"_qs}, {u"n=a=b"_qs}, {u"a=b"_qs}},
        {"entry without = removes every colon",
         {u"select '10:30' as h, :x"_qs}, {u"x=1"_qs, u"sin_igual"_qs}, {u"select '1030' as h, 1"_qs}},
        {"entry without = takes the first entry beginning with =",
         {u"a:b:c"_qs}, {u"sin_igual"_qs, u"=#"_qs}, {u"a#b#c"_qs}},
        {"no entries", {u"v = :n"_qs}, {}, {u"v = :n"_qs}},
        {"unknown placeholders stay", {u"v = :otro"_qs}, {u"n=1"_qs}, {u"v = :otro"_qs}},
        {"empty value", {u"v = :n;"_qs}, {u"n="_qs}, {u"v = ;"_qs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(substituted(c.lines, c.params), c.out);
    }
}

TEST(Parameters, OnlyActiveFalseEmptiesTheList) {
    data::TFDConnection closed;
    TVexQuery q(closed);
    q.SQL() << u"select :a"_qs;
    q.Parameters() << u"a=1"_qs;
    q.Close();
    q.Disconnect();
    q.SetQuery({u"select :b"_qs});
    EXPECT_EQ(q.Parameters(), QStringList{u"a=1"_qs});
    EXPECT_THROW(q.ExecSQL(), data::EDatabaseError);
    EXPECT_EQ(q.SQL(), QStringList{u"select :b"_qs});  // no substitution on execute
    EXPECT_EQ(q.Parameters(), QStringList{u"a=1"_qs});
    q.SetActive(false);  // already closed: still empties the list
    EXPECT_TRUE(q.Parameters().isEmpty());
}

TEST(Parameters, EachFrameworkConstructorMakesItsDataset) {
    data::TADOConnection ado;
    data::TSQLConnection sql;
    data::TFDConnection fd;
    TVexQuery a(ado), s(sql), f(fd);
    EXPECT_EQ(a.tipo(), BDAdo);
    EXPECT_EQ(s.tipo(), BDSqlConn);
    EXPECT_EQ(f.tipo(), BDFireDac);
    for (TVexQuery* q : {&a, &s, &f}) {
        EXPECT_NE(q->Dataset(), nullptr);
        EXPECT_EQ(q->Driver(), QString());
        EXPECT_EQ(q->database(), nullptr);
        EXPECT_FALSE(q->log);
    }
    auto* ds = dynamic_cast<data::TADOQuery*>(a.Dataset());
    ASSERT_NE(ds, nullptr);
    EXPECT_EQ(ds->LockType, data::ltReadOnly);
    EXPECT_EQ(ds->CursorType, data::ctOpenForwardOnly);
    EXPECT_EQ(ds->CursorLocation, data::clUseClient);
    EXPECT_FALSE(ds->ParamCheck);
    auto* fq = dynamic_cast<data::TFDQuery*>(f.Dataset());
    ASSERT_NE(fq, nullptr);
    EXPECT_EQ(fq->FetchOptions.CursorKind, data::ckAutomatic);
    EXPECT_TRUE(fq->FetchOptions.Unidirectional);
    EXPECT_FALSE(fq->IndexesActive);
    // The ADO query is prepared when it opens.
    a.SQL() << u"select 1"_qs;
    EXPECT_THROW(a.SetActive(true), data::EDatabaseError);
    EXPECT_TRUE(ds->Prepared);
}

TEST(StatementLog, CutTo500BeforeEachEntryAndTimestamped) {
    LogsQuerys.clear();
    for (int i = 0; i < 500; ++i) LogsQuerys << QString::number(i);
    add_log({u"select 1"_qs, u"from t"_qs});
    ASSERT_EQ(LogsQuerys.size(), 502);
    EXPECT_EQ(LogsQuerys[0], u"0"_qs);
    EXPECT_EQ(LogsQuerys[501], u"select 1\r\nfrom t\r\n"_qs);
    EXPECT_TRUE(QRegularExpression(u"^\\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d:\\d\\d$"_qs).match(LogsQuerys[500]).hasMatch())
        << LogsQuerys[500].toStdString();
    add_log({});
    ASSERT_EQ(LogsQuerys.size(), 502);
    EXPECT_EQ(LogsQuerys[0], u"2"_qs);
    EXPECT_EQ(LogsQuerys[501], QString());
    // The locale's separators print in the timestamp.
    const rtl::TFormatSettings saved = rtl::FormatSettings();
    rtl::FormatSettings().DateSeparator = u'-';
    rtl::FormatSettings().TimeSeparator = u'.';
    add_log({u"x"_qs});
    rtl::FormatSettings() = saved;
    EXPECT_TRUE(QRegularExpression(u"^\\d\\d-\\d\\d-\\d{4} - \\d\\d\\.\\d\\d\\.\\d\\d$"_qs).match(LogsQuerys[500]).hasMatch())
        << LogsQuerys[500].toStdString();
    LogsQuerys.clear();
}

TEST(Globals, StartValues) {
    EXPECT_EQ(DBParameters.Tipo, BDAdo);
    EXPECT_FALSE(DBParameters.UniDirectional);
    EXPECT_TRUE(DBParameters.Alias.isEmpty());
    DBConn c;
    EXPECT_EQ(c.tipo, BDUnDefined);
    EXPECT_EQ(c.version, 0);
    EXPECT_FALSE(c.IsConnected());
    QStringList l{u"x"_qs};
    c.GetTableNames(l);
    EXPECT_EQ(l, QStringList{u"x"_qs});
    c.DeConnect();
    c.BeginTransaction();
    c.EndTransaction();
    EXPECT_EQ(c.SqlDatabase(), nullptr);
}

}  // namespace
