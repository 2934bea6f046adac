// One test's world for the main window: its own ODBC data-source lists with a
// data source TALVEN on a fresh database of the chosen engine (an SQLite file,
// or a scratch database on the test PostgreSQL server) holding the agent's
// tables, its own per-user settings hive and INI directory, and the program
// key "importaguias". A second connection of its own sets data up and reads
// back what the window wrote.
#pragma once

#include "tests/support/odbc_test_env.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class DBConn;

namespace prueba {

enum class Motor { SQLite, PostgreSQL };
const char* nombreMotor(Motor motor);

class Mundo {
public:
    // Requires the pg_server fixture for Motor::PostgreSQL. `claves` go into
    // TALVEN's section after the driver's own (e.g. SQLite's SyncPragma).
    explicit Mundo(Motor motor, vextest::DsnKeys claves = {});
    ~Mundo();
    Mundo(const Mundo&) = delete;
    Mundo& operator=(const Mundo&) = delete;

    Motor motor() const { return motor_; }
    vextest::OdbcTestEnv& odbc() { return env_; }
    // A path inside the world's directory.
    QString ruta(const QString& nombre) const { return env_.filePath(nombre); }
    // Adds another data source `nombre` on a new, empty database of the same
    // engine with the agent's tables.
    void agregoOrigen(const QString& nombre, const vextest::DsnKeys& claves = {});

    // Runs statements on TALVEN through the world's own connection.
    void ejecuto(const QString& sql);
    void ejecuto(const QStringList& sentencias);
    // The rows of a select, each column read as text.
    std::vector<QStringList> filas(const QString& sql);
    // The one value of a select (empty when there is no row).
    QString valor(const QString& sql);
    int cuenta(const QString& tabla) { return valor(QStringLiteral("select count(*) from ") + tabla).toInt(); }

    // The manifests and customers most tests use.
    void manifiestosDeEjemplo();
    void clientesDeEjemplo();

    // A statement failure while writing a waybill: every update of
    // conocimientos for waybill `numero` fails, and so does any later one.
    void fallaAlActualizar(const QString& numero);
    void quitoFalla();

private:
    void creoTablas(const QString& origen);

    Motor motor_;
    vextest::OdbcTestEnv env_;
    std::vector<std::unique_ptr<vextest::ScratchDatabase>> bases_;
    std::unique_ptr<DBConn> conexion_;
};

// The window's process-wide state put back as at process start (the global
// connection released, the request record emptied, format settings of C).
void reinicioGlobales();

}  // namespace prueba
