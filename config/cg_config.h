// Unit cg_config: the settings object __config. It holds the cargo agent's
// settings in memory: the settings row of table configuracion, the HTML
// directory named in the program's INI file and three per-user registry
// switches; it saves them back, and reads two numbers of tables asoc_manif
// and config01.
//
// Calling order: the constructor first (on the open connection); cargo()
// before the fields are used; the other operations in any order, one at a
// time. Every statement runs on the object's own query `cons`, which each
// operation closes before it prepares its statement. Failures of the
// database arrive as exceptions (data::EDatabaseError or the ODBC layer's
// error); registry failures as reg::ERegistryException.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>

class DBConn;
class TVexQuery;

class __config {
public:
    // Makes `cons` on `db`, then tries to add the text columns userdna and
    // passdna (varchar(20)) to configuracion, dropping any failure (column
    // already there, no table, no right to alter). Throws only when `cons`
    // cannot be made. `db` must outlive the object.
    explicit __config(DBConn& db);
    ~__config();
    __config(const __config&) = delete;
    __config& operator=(const __config&) = delete;

    // Loads the first row of configuracion (and htmldir from the INI file),
    // then the three registry switches. False, with no table field touched,
    // when the table has no row. Only the three external-signer columns are
    // optional; any other failure (missing table or column, a value that
    // does not convert) ends it with that exception, leaving the fields read
    // before it loaded and the registry switches unread.
    bool cargo();

    // Writes the fields back: an insert of five columns when configuracion has
    // no row, else an update of every row; then the three flag updates; then
    // the registry integer NO_VALIDO_VOL. No transaction: the first failing
    // statement ends it, and what ran before stays.
    void salvo();

    // htmldir, or the current directory when htmldir is empty, ending in a
    // separator: "/" is appended unless it already ends in "/" or "\".
    // Empty when the current directory cannot be determined.
    QString dir_html() const;

    // The largest id of asoc_manif plus 1 (1 on an empty table). Reserves
    // nothing. Database failures reach the caller; when the largest id is
    // the highest 32-bit number, EReservaCodigo naming the table.
    std::int32_t doy_nuevo_id_aso();

    // ult_online of config01's first row, 0 when it cannot be read; when the
    // read fails, creates the table (a failure of that reaches the caller).
    std::int32_t doy_ultima_act_online();

private:
    // Closes cons and replaces its statement with `lines`.
    void prepare(const QStringList& lines);

    std::unique_ptr<TVexQuery> cons;

public:
    QString lugar;
    QString garante;
    QString htmldir;
    std::int32_t CantCNTPorReg = 0;
    QString alias;  // loaded and saved by nothing
    QString mail;
    bool usar_firmador_externo = false;
    std::int32_t Id_firmador_externo = 0;
    QString Addr_firmador_externo;
    bool habilitado_funcionalidad_operaciones = false;
    bool marcar_conoc_sin_rut = false;  // loaded and saved by nothing
    bool enviar_a_desa = false;
    bool indicar_AA = false;
    bool valido_volumen = false;
    QString idedi;
    QString userdna;
    QString passdna;
    bool liberado = false;
    bool agenteDeCarga = false;
    QString dirImport;
    QString dirImportExpo;
    bool mostrarLineasEliminadas = false;
};
