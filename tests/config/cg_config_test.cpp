// The settings object against real databases: SQLite through its ODBC driver
// and the PostgreSQL server that CTest starts.
#include "config/cg_config.h"

#include "config/version.h"
#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "platform/process/process_info.h"
#include "platform/registry/registry.h"
#include "schema/schema.h"
#include "tests/config/settings_db.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <unistd.h>

namespace {

using vex::test::Engine;

class ConfigTest : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        // The per-user hive, the Windows directory and the executable, all ours.
        setenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + QStringLiteral("/config")).constData(), 1);
        windir_ = home_.path() + QStringLiteral("/windir");
        QDir().mkpath(windir_);
        setenv("WINDIR", QFile::encodeName(windir_).constData(), 1);
        proc::setExeNameForTesting(home_.path() + QStringLiteral("/bin/importaguias.exe"));

        db_ = std::make_unique<vex::test::SettingsDb>(GetParam());
    }
    void TearDown() override {
        db_.reset();
        proc::setExeNameForTesting(QString());
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("WINDIR");
    }

    DBConn& conn() { return db_->conn(); }
    void exec(const QString& sql) {
        TVexQuery q(conn());
        q.SetActive(false);
        q.SQL().clear();
        q.SQL().append(sql);
        q.ExecSQL();
    }
    // Every row of `sql`, each as its columns' texts ("<null>" for NULL).
    QList<QStringList> rows(const QString& sql) {
        TVexQuery q(conn());
        q.SetActive(false);
        q.SQL().clear();
        q.SQL().append(sql);
        q.SetActive(true);
        QList<QStringList> out;
        while (!q.Eof()) {
            QStringList row;
            for (int i = 0; i < q.Fields().Count(); ++i) {
                const data::TField& f = q.Fields()[i];
                row << (f.IsNull() ? QStringLiteral("<null>") : f.AsString());
            }
            out << row;
            q.Next();
        }
        return out;
    }
    QString one(const QString& sql) {
        const auto r = rows(sql);
        return r.isEmpty() || r[0].isEmpty() ? QStringLiteral("<no row>") : r[0][0];
    }
    void writeIni(const QByteArray& text) {
        QFile f(windir_ + QStringLiteral("/importaguias.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    static void setRegistry(const QString& name, std::int32_t v) { set_key_value_CURRENT_USER(name, v); }
    static std::int32_t registry(const QString& name) {
        std::int32_t v = -1;
        get_key_value_CURRENT_USER(name, v);
        return v;
    }
    static bool registryHas(const QString& name) {
        reg::TRegistry r;
        return r.OpenKey(QStringLiteral("Software\\Vexalon\\importaguias"), false) && r.ValueExists(name);
    }
    void insertRow(const QString& lugar, const QString& flags = QStringLiteral("1,1,1,1")) {
        exec(QStringLiteral("insert into configuracion (lugar,garante,mail,idedi,CantCNTPorReg,MaxCNTPorCont,"
                            "usar_firmador_externo,Id_firmador_externo,Addr_firmador_externo,"
                            "indicar_AA,liberado,agenteDeCarga,impMostrarLineasEliminadas,"
                            "userdna,passdna,dirImport,dirImportExpo) values (") +
             QStringLiteral("'%1','garante %1','%1@x.uy','edi %1',12,99,1,33,'http://firma:8080',").arg(lugar) +
             flags + QStringLiteral(",'usu','clave','/imp','/impexpo')"));
    }

    QTemporaryDir home_;
    QString windir_;
    std::unique_ptr<vex::test::SettingsDb> db_;
};

TEST_P(ConfigTest, LoadsEveryFieldOfTheRowTheIniAndTheRegistry) {
    writeIni(QByteArrayLiteral("[CONFIGURACION]\nHTMLDIR=C:\\html\\\n"));
    setRegistry(QStringLiteral("modifica_operaciones"), 1);
    setRegistry(QStringLiteral("DESA"), 1);
    insertRow(QStringLiteral("Montevideo"));
    __config c(conn());
    ASSERT_TRUE(c.cargo());
    EXPECT_EQ(c.lugar, QStringLiteral("Montevideo"));
    EXPECT_EQ(c.garante, QStringLiteral("garante Montevideo"));
    EXPECT_EQ(c.mail, QStringLiteral("Montevideo@x.uy"));
    EXPECT_EQ(c.idedi, QStringLiteral("edi Montevideo"));
    EXPECT_EQ(c.htmldir, QStringLiteral("C:\\html\\"));
    EXPECT_EQ(c.CantCNTPorReg, 12);
    EXPECT_TRUE(c.usar_firmador_externo);
    EXPECT_EQ(c.Id_firmador_externo, 33);
    EXPECT_EQ(c.Addr_firmador_externo, QStringLiteral("http://firma:8080"));
    EXPECT_TRUE(c.indicar_AA);
    EXPECT_TRUE(c.liberado);
    EXPECT_TRUE(c.agenteDeCarga);
    EXPECT_TRUE(c.mostrarLineasEliminadas);
    EXPECT_EQ(c.userdna, QStringLiteral("usu"));
    EXPECT_EQ(c.passdna, QStringLiteral("clave"));
    EXPECT_EQ(c.dirImport, QStringLiteral("/imp"));
    EXPECT_EQ(c.dirImportExpo, QStringLiteral("/impexpo"));
    EXPECT_TRUE(c.habilitado_funcionalidad_operaciones);
    EXPECT_TRUE(c.enviar_a_desa);
    EXPECT_TRUE(c.valido_volumen);  // NO_VALIDO_VOL absent
    EXPECT_EQ(c.alias, QString());
    EXPECT_FALSE(c.marcar_conoc_sin_rut);
}

TEST_P(ConfigTest, EmptyTableLoadsNothingButTheRegistrySwitches) {
    writeIni(QByteArrayLiteral("[CONFIGURACION]\nHTMLDIR=/srv/html\n"));
    setRegistry(QStringLiteral("modifica_operaciones"), 1);
    setRegistry(QStringLiteral("NO_VALIDO_VOL"), 5);
    __config c(conn());
    c.lugar = QStringLiteral("antes");
    c.CantCNTPorReg = 4;
    c.indicar_AA = true;
    EXPECT_FALSE(c.cargo());
    EXPECT_EQ(c.lugar, QStringLiteral("antes"));
    EXPECT_EQ(c.CantCNTPorReg, 4);
    EXPECT_TRUE(c.indicar_AA);
    EXPECT_EQ(c.htmldir, QString());  // the INI file is not read either
    EXPECT_TRUE(c.habilitado_funcionalidad_operaciones);
    EXPECT_FALSE(c.enviar_a_desa);
    EXPECT_FALSE(c.valido_volumen);

    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(c.dir_html(), QString::fromLocal8Bit(cwd) + u'/');
}

TEST_P(ConfigTest, FlagsAreOnOnlyForOneAndSavedBackAsZero) {
    struct Case {
        const char* what;
        const char* value;  // for indicar_AA, liberado, agenteDeCarga, impMostrarLineasEliminadas
        bool loaded;
    };
    const Case cases[] = {{"one", "1", true}, {"zero", "0", false}, {"two", "2", false}, {"null", "null", false},
                          {"minus one", "-1", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        exec(QStringLiteral("delete from configuracion"));
        const QString v = QString::fromUtf8(k.value);
        insertRow(QStringLiteral("x"), QStringList{v, v, v, v}.join(u','));
        exec(QStringLiteral("update configuracion set usar_firmador_externo=") + v);
        __config c(conn());
        ASSERT_TRUE(c.cargo());
        EXPECT_EQ(c.usar_firmador_externo, k.loaded);
        EXPECT_EQ(c.indicar_AA, k.loaded);
        EXPECT_EQ(c.liberado, k.loaded);
        EXPECT_EQ(c.agenteDeCarga, k.loaded);
        EXPECT_EQ(c.mostrarLineasEliminadas, k.loaded);
        c.salvo();
        const QString stored = k.loaded ? QStringLiteral("1") : QStringLiteral("0");
        EXPECT_EQ(rows(QStringLiteral("select indicar_AA, liberado, agenteDeCarga, impMostrarLineasEliminadas "
                                      "from configuracion")),
                  (QList<QStringList>{{stored, stored, stored, stored}}));
    }
}

TEST_P(ConfigTest, TwoRowsLoadTheFirstAndSaveIntoBoth) {
    insertRow(QStringLiteral("primera"));
    insertRow(QStringLiteral("segunda"), QStringLiteral("0,0,0,0"));
    __config c(conn());
    ASSERT_TRUE(c.cargo());
    EXPECT_EQ(c.lugar, QStringLiteral("primera"));
    EXPECT_TRUE(c.indicar_AA);
    c.lugar = QStringLiteral("ambas");
    c.liberado = false;
    c.salvo();
    EXPECT_EQ(rows(QStringLiteral("select lugar, liberado, indicar_AA from configuracion")),
              (QList<QStringList>{{QStringLiteral("ambas"), QStringLiteral("0"), QStringLiteral("1")},
                                  {QStringLiteral("ambas"), QStringLiteral("0"), QStringLiteral("1")}}));
}

TEST_P(ConfigTest, MissingSignerColumnsLoadAsDefaults) {
    insertRow(QStringLiteral("x"));
    for (const char* col : {"usar_firmador_externo", "Id_firmador_externo", "Addr_firmador_externo"})
        exec(QStringLiteral("alter table configuracion drop column %1").arg(QString::fromUtf8(col)));
    __config c(conn());
    c.usar_firmador_externo = true;
    c.Id_firmador_externo = 5;
    c.Addr_firmador_externo = QStringLiteral("viejo");
    ASSERT_TRUE(c.cargo());
    EXPECT_FALSE(c.usar_firmador_externo);
    EXPECT_EQ(c.Id_firmador_externo, 0);
    EXPECT_EQ(c.Addr_firmador_externo, QString());
    EXPECT_TRUE(c.indicar_AA);  // loading went on
    EXPECT_EQ(c.idedi, QStringLiteral("edi x"));
}

TEST_P(ConfigTest, MissingIndicarAaEndsLoadingWhereItStands) {
    writeIni(QByteArrayLiteral("[CONFIGURACION]\nHTMLDIR=/srv/html\n"));
    setRegistry(QStringLiteral("modifica_operaciones"), 1);
    setRegistry(QStringLiteral("DESA"), 1);
    insertRow(QStringLiteral("x"));
    exec(QStringLiteral("alter table configuracion drop column indicar_AA"));
    __config c(conn());
    c.liberado = false;
    c.userdna = QStringLiteral("previo");
    c.idedi = QStringLiteral("previo");
    EXPECT_ANY_THROW(c.cargo());
    EXPECT_EQ(c.lugar, QStringLiteral("x"));
    EXPECT_EQ(c.garante, QStringLiteral("garante x"));
    EXPECT_EQ(c.mail, QStringLiteral("x@x.uy"));
    EXPECT_EQ(c.htmldir, QStringLiteral("/srv/html"));
    EXPECT_EQ(c.CantCNTPorReg, 12);
    EXPECT_TRUE(c.usar_firmador_externo);
    EXPECT_EQ(c.Id_firmador_externo, 33);
    EXPECT_EQ(c.Addr_firmador_externo, QStringLiteral("http://firma:8080"));
    EXPECT_FALSE(c.liberado);
    EXPECT_EQ(c.userdna, QStringLiteral("previo"));
    EXPECT_EQ(c.idedi, QStringLiteral("previo"));
    EXPECT_FALSE(c.habilitado_funcionalidad_operaciones);  // registry not read
    EXPECT_FALSE(c.enviar_a_desa);
    EXPECT_FALSE(c.valido_volumen);
}

TEST_P(ConfigTest, MissingTableEndsLoadingWithTheError) {
    exec(QStringLiteral("drop table configuracion"));
    __config c(conn());  // the column additions fail silently
    EXPECT_ANY_THROW(c.cargo());
    EXPECT_ANY_THROW(c.salvo());
}

TEST_P(ConfigTest, SaveIntoAnEmptyTableInsertsFiveColumnsThenTheFlags) {
    __config c(conn());
    EXPECT_FALSE(c.cargo());
    c.lugar = QStringLiteral("O'Brien");
    c.garante = QString();
    c.mail = QStringLiteral("a@b");
    c.idedi = QStringLiteral("'");
    c.CantCNTPorReg = -3;
    c.userdna = QStringLiteral("u");
    c.dirImport = QStringLiteral("/d");
    c.mostrarLineasEliminadas = true;
    c.indicar_AA = true;
    c.agenteDeCarga = true;
    c.valido_volumen = true;
    c.salvo();
    EXPECT_EQ(rows(QStringLiteral("select lugar, garante, mail, idedi, MaxCNTPorCont, CantCNTPorReg, userdna, "
                                  "dirImport, impMostrarLineasEliminadas, indicar_AA, liberado, agenteDeCarga "
                                  "from configuracion")),
              (QList<QStringList>{{QStringLiteral("O'Brien"), QString(), QStringLiteral("a@b"), QStringLiteral("'"),
                                   QStringLiteral("-3"), QStringLiteral("<null>"), QStringLiteral("<null>"),
                                   QStringLiteral("<null>"), QStringLiteral("<null>"), QStringLiteral("1"),
                                   QStringLiteral("0"), QStringLiteral("1")}}));
    EXPECT_EQ(registry(QStringLiteral("NO_VALIDO_VOL")), 0);

    // The next save finds the row and stores the rest through the update.
    c.valido_volumen = false;
    c.salvo();
    EXPECT_EQ(rows(QStringLiteral("select lugar, garante, CantCNTPorReg, MaxCNTPorCont, userdna, passdna, "
                                  "dirImport, dirImportExpo, impMostrarLineasEliminadas from configuracion")),
              (QList<QStringList>{{QStringLiteral("O'Brien"), QString(), QStringLiteral("-3"), QStringLiteral("-3"),
                                   QStringLiteral("u"), QString(), QStringLiteral("/d"), QString(),
                                   QStringLiteral("1")}}));
    EXPECT_EQ(registry(QStringLiteral("NO_VALIDO_VOL")), 1);
    EXPECT_EQ(one(QStringLiteral("select count(*) from configuracion where garante = ''")), QStringLiteral("1"));
}

TEST_P(ConfigTest, LoadAndSaveKeepTextsExactly) {
    insertRow(QStringLiteral("x"));
    __config c(conn());
    ASSERT_TRUE(c.cargo());
    const QString texts[] = {QStringLiteral("d'Artagnan ''dos''"), QStringLiteral("  blancos  "),
                             QStringLiteral("C:\\html\\ \"x\""), QStringLiteral("ñandú Ñ")};
    for (const QString& t : texts) {
        SCOPED_TRACE(t.toStdString());
        c.lugar = t;
        c.dirImportExpo = t;
        c.salvo();
        __config d(conn());
        ASSERT_TRUE(d.cargo());
        EXPECT_EQ(d.lugar, t);
        EXPECT_EQ(d.dirImportExpo, t);
    }
}

TEST_P(ConfigTest, SaveFailureStopsBeforeTheRegistryWrite) {
    insertRow(QStringLiteral("x"));
    __config c(conn());
    ASSERT_TRUE(c.cargo());
    exec(QStringLiteral("alter table configuracion drop column liberado"));
    c.lugar = QStringLiteral("nuevo");
    c.indicar_AA = false;
    EXPECT_ANY_THROW(c.salvo());
    // The update and the first flag ran; the registry was not written.
    EXPECT_EQ(rows(QStringLiteral("select lugar, indicar_AA from configuracion")),
              (QList<QStringList>{{QStringLiteral("nuevo"), QStringLiteral("0")}}));
    EXPECT_FALSE(registryHas(QStringLiteral("NO_VALIDO_VOL")));
}

TEST_P(ConfigTest, ConstructorAddsTheTwoColumnsWhenMissing) {
    exec(QStringLiteral("alter table configuracion drop column userdna"));
    exec(QStringLiteral("alter table configuracion drop column passdna"));
    EXPECT_ANY_THROW(rows(QStringLiteral("select userdna from configuracion")));
    __config c(conn());
    insertRow(QStringLiteral("x"));  // writes both columns
    ASSERT_TRUE(c.cargo());
    EXPECT_EQ(c.userdna, QStringLiteral("usu"));
    EXPECT_EQ(c.passdna, QStringLiteral("clave"));
    __config again(conn());  // now both additions fail, silently
    ASSERT_TRUE(again.cargo());
    EXPECT_EQ(again.passdna, QStringLiteral("clave"));
}

TEST_P(ConfigTest, NewIdIsTheLargestPlusOne) {
    __config c(conn());
    EXPECT_EQ(c.doy_nuevo_id_aso(), 1);
    exec(QStringLiteral("insert into asoc_manif (id) values (7)"));
    exec(QStringLiteral("insert into asoc_manif (id) values (41)"));
    exec(QStringLiteral("insert into asoc_manif (id) values (-2)"));
    EXPECT_EQ(c.doy_nuevo_id_aso(), 42);
    EXPECT_EQ(c.doy_nuevo_id_aso(), 42);  // nothing reserved
    // No id follows the highest 32-bit one: an error naming the table, never
    // a negative id.
    exec(QStringLiteral("insert into asoc_manif (id) values (2147483646)"));
    EXPECT_EQ(c.doy_nuevo_id_aso(), 2147483647);
    exec(QStringLiteral("insert into asoc_manif (id) values (2147483647)"));
    try {
        const std::int32_t id = c.doy_nuevo_id_aso();
        ADD_FAILURE() << "gave " << id;
    } catch (const EReservaCodigo& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("asoc_manif"))) << e.message().toStdString();
    }
    exec(QStringLiteral("drop table asoc_manif"));
    EXPECT_ANY_THROW(c.doy_nuevo_id_aso());
}

TEST_P(ConfigTest, LastOnlineUpdate) {
    __config c(conn());
    EXPECT_EQ(c.doy_ultima_act_online(), 0);  // empty table: no row, nothing created
    exec(QStringLiteral("insert into config01 (ult_online) values (7)"));
    EXPECT_EQ(c.doy_ultima_act_online(), 7);

    exec(QStringLiteral("drop table config01"));
    EXPECT_EQ(c.doy_ultima_act_online(), 0);
    EXPECT_EQ(one(QStringLiteral("select count(*) from config01")), QStringLiteral("0"));  // created
    exec(QStringLiteral("insert into config01 (ult_online) values (9)"));
    EXPECT_EQ(c.doy_ultima_act_online(), 9);

    // The table is there but its read fails: the create then fails too.
    exec(QStringLiteral("drop table config01"));
    exec(QStringLiteral("create table config01 (otra integer)"));
    EXPECT_ANY_THROW(c.doy_ultima_act_online());
}

TEST_P(ConfigTest, HtmlDirectoryEndsInASeparator) {
    struct Case {
        const char* ini;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/html", "/srv/html/"},
        {"/srv/html/", "/srv/html/"},
        {"C:\\html\\", "C:\\html\\"},  // an INI written on Windows
        {"C:\\html", "C:\\html/"},
        {"/", "/"},
    };
    insertRow(QStringLiteral("x"));
    for (const Case& k : cases) {
        SCOPED_TRACE(k.ini);
        writeIni(QByteArrayLiteral("[CONFIGURACION]\nHTMLDIR=") + k.ini + '\n');
        __config c(conn());
        ASSERT_TRUE(c.cargo());
        EXPECT_EQ(c.dir_html(), QString::fromUtf8(k.expected));
        EXPECT_EQ(c.htmldir, QString::fromUtf8(k.ini));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, ConfigTest, ::testing::ValuesIn(vex::test::allEngines()),
                         [](const ::testing::TestParamInfo<Engine>& p) { return vex::test::engineName(p.param); });

}  // namespace
