#include "tests/app/support/mundo.h"

#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "platform/process/process_info.h"
#include "platform/runtime/format_settings.h"
#include "schema/schema.h"

#include <QDir>
#include <cstdlib>
#include <stdexcept>

namespace prueba {

const char* nombreMotor(Motor motor) { return motor == Motor::SQLite ? "SQLite" : "PostgreSQL"; }

namespace {

void conecto(DBConn& conexion, const QString& origen, Motor motor) {
    TDBParameters p;
    p.Alias = origen;
    p.Username = QStringLiteral("sysdba");
    p.Password = QStringLiteral("bluefoxes");
    p.Tipo = BDFireDac;
    if (!conexion.Connect(p, QString()))
        throw std::runtime_error("cannot connect to the test data source " + origen.toStdString());
    vextest::requireDbms(conexion.FDCDB()->odbcConnection(),
                         motor == Motor::SQLite ? vextest::Dbms::SQLite : vextest::Dbms::PostgreSQL, origen);
}

}  // namespace

Mundo::Mundo(Motor motor, vextest::DsnKeys claves) : motor_(motor) {
    qputenv("XDG_CONFIG_HOME", env_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("WINDIR", env_.dir().toUtf8());
    proc::setExeNameForTesting(env_.filePath(QStringLiteral("importaguias")));
    agregoOrigen(QStringLiteral("TALVEN"), claves);
    conexion_ = std::make_unique<DBConn>();
    conecto(*conexion_, QStringLiteral("TALVEN"), motor_);
}

Mundo::~Mundo() {
    conexion_.reset();
    proc::setExeNameForTesting({});
}

void Mundo::agregoOrigen(const QString& nombre, const vextest::DsnKeys& claves) {
    if (motor_ == Motor::SQLite) {
        const QString archivo = env_.filePath(nombre.toLower() + QStringLiteral(".db"));
        if (claves.isEmpty()) {
            env_.addSqliteDsn(nombre, archivo);
        } else {
            env_.addDsn(vextest::DsnList::User, nombre, QStringLiteral("SQLite3"),
                        vextest::DsnKeys{{QStringLiteral("Database"), archivo}} + claves, QStringLiteral("SQLite3"));
        }
    } else {
        bases_.push_back(std::make_unique<vextest::ScratchDatabase>(vextest::Engine::Postgres));
        env_.addPostgresDsn(nombre, bases_.back()->name());
    }
    creoTablas(nombre);
}

void Mundo::creoTablas(const QString& origen) {
    DBConn conexion;
    conecto(conexion, origen, motor_);
    TVexQuery cons(conexion);
    const auto dialecto = motor_ == Motor::SQLite ? vex::schema::Dialect::SQLite : vex::schema::Dialect::PostgreSQL;
    for (const QString& sentencia : vex::schema::statements(dialecto)) {
        cons.SetActive(false);
        cons.SQL().clear();
        cons.SQL().append(sentencia);
        cons.ExecSQL();
    }
    cons.SetActive(false);
    cons.SQL().clear();
    cons.SQL().append(QStringLiteral("insert into configuracion (lugar) values ('MONTEVIDEO')"));
    cons.ExecSQL();
}

void Mundo::ejecuto(const QString& sql) { ejecuto(QStringList{sql}); }

void Mundo::ejecuto(const QStringList& sentencias) {
    TVexQuery cons(*conexion_);
    for (const QString& s : sentencias) {
        cons.SetActive(false);
        cons.SQL().clear();
        cons.SQL().append(s);
        cons.ExecSQL();
    }
}

std::vector<QStringList> Mundo::filas(const QString& sql) {
    TVexQuery cons(*conexion_);
    cons.SetActive(false);
    cons.SQL().clear();
    cons.SQL().append(sql);
    cons.SetActive(true);
    std::vector<QStringList> out;
    while (!cons.Eof()) {
        QStringList fila;
        for (int i = 0; i < cons.Fields().Count(); ++i) fila << cons.Fields()[i].AsString();
        out.push_back(fila);
        cons.Next();
    }
    return out;
}

QString Mundo::valor(const QString& sql) {
    const auto f = filas(sql);
    return f.empty() ? QString() : f.front().value(0);
}

void Mundo::manifiestosDeEjemplo() {
    ejecuto({
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (1, '4  0000101PL034220210105', 0)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (2, '4  0000102PL034220210212', 1)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (3, '4  1000201PL777720210301', 0)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (4, '4  0000123PL034220211231', 0)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (5, '4  1000202PL7777', 0)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (6, '4  1000203PL777720210302', 2)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (7, '4  0000124', 0)"),
        QStringLiteral("insert into manifiestos (id, clave, archivado) values (8, '5  0000999PL034220210101', 0)"),
    });
}

void Mundo::clientesDeEjemplo() {
    ejecuto({
        QStringLiteral("insert into IClientes (codigo, nombre) values (101, 'IMPORTADORA DEL SUR')"),
        QStringLiteral("insert into IClientes (codigo, nombre) values (102, 'SEñOR PéREZ')"),
        QStringLiteral("insert into IClientes (codigo, nombre) values (103, 'JOSé O''NEILL')"),
        QStringLiteral("insert into IClientes (codigo, nombre) values (0, 'CODIGO CERO')"),
        QStringLiteral("insert into IClientes (codigo, nombre) values (-5, 'CODIGO NEGATIVO')"),
    });
}

void Mundo::fallaAlActualizar(const QString& numero) {
    if (motor_ == Motor::SQLite) {
        ejecuto(QStringLiteral("create trigger falla_guia before update on conocimientos when new.numero = '%1' "
                               "begin select raise(abort, 'conocimiento %1 rechazado'); end")
                    .arg(numero));
        return;
    }
    ejecuto({QStringLiteral("create function falla_guia() returns trigger language plpgsql as $$ begin "
                            "if new.numero = '%1' then raise exception 'conocimiento %1 rechazado'; end if; "
                            "return new; end $$")
                 .arg(numero),
             QStringLiteral("create trigger falla_guia before update on conocimientos for each row "
                            "execute function falla_guia()")});
}

void Mundo::quitoFalla() {
    if (motor_ == Motor::SQLite) {
        ejecuto(QStringLiteral("drop trigger falla_guia"));
        return;
    }
    ejecuto({QStringLiteral("drop trigger falla_guia on conocimientos"), QStringLiteral("drop function falla_guia()")});
}

void reinicioGlobales() {
    dbTalven.reset();
    DBParameters = TDBParameters{};
    rtl::FormatSettings() = rtl::TFormatSettings{};
}

}  // namespace prueba
