// Makes the demo of scripts/run.sh and the README's screenshot.
//
//   importaguias_demo crear DIR            the SQLite database DIR/talven.db with
//       the agent's tables, a few open and archived manifests of both kinds
//       and some customers; DIR/odbc.ini and DIR/odbcinst.ini with the data
//       source TALVEN on it; the sample workbook DIR/guias-demo.xlsx.
//   importaguias_demo captura DIR FILE     the window on that demo after
//       "Procesar" of the sample workbook, saved as FILE (PNG), rendered
//       offscreen.
#include "app/formPrincipal.h"
#include "app/programa.h"
#include "database/DBobj.h"
#include "database/VexQuery.h"
#include "platform/dialogs/dialogs.h"
#include "platform/runtime/format_settings.h"
#include "schema/schema.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QToolButton>
#include <cstdio>
#include <xlsxwriter.h>

namespace {

bool escribo(const QString& ruta, const QString& texto) {
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(texto.toUtf8());
    return true;
}

void apuntoOrigenes(const QString& dir) {
    qputenv("ODBCINI", (dir + QStringLiteral("/odbc.ini")).toUtf8());
    qputenv("ODBCSYSINI", dir.toUtf8());
}

void ejecuto(TVexQuery& cons, const QString& sql) {
    cons.SetActive(false);
    cons.SQL().clear();
    cons.SQL().append(sql);
    cons.ExecSQL();
}

bool escriboLibro(const QString& ruta) {
    struct Guia {
        const char *remitente, *consignatario, *notificar, *numero, *master, *pago, *descripcion;
        double peso, volumen, bultos;
        const char* origen;
    };
    const Guia guias[] = {
        {"Sakura Flowers Co.", "importadora del sur", "misma", "176-10001001", "176-10001000", "pp", "flores frescas",
         120.5, 0.84, 12, "JPNRT"},
        {"Osaka Parts Ltd.", "Comercial Montevideo SA", "misma", "176-10001002", "176-10001000", "cc",
         "repuestos de auto", 45, 0.2, 3, "JPKIX"},
        {"Nagoya Tech", "distribuidora o'hara ltda", "banco republica", "176-10001003", "176-10001000", "pp",
         "equipos electronicos", 310.25, 1.75, 20, "JPNGO"},
        {"Tokyo Textiles", "Tiendas La Paz", "misma", "176-10001004", "176-10001000", "pp", "telas", 88, 0.6, 8,
         "JPNRT"},
        {"Kobe Instruments", "farmacia central", "misma", "176-10001005", "176-10001000", "cc", "instrumentos medicos",
         12.5, 0.05, 1, "JPUKB"},
        {"Consolidado", "agencia de cargas", "", "176-10001000", "176-10001000", "pp", "consolidado", 576.25, 3.44,
         44, "JPNRT"},
    };
    const QByteArray archivo = ruta.toUtf8();
    lxw_workbook* libro = workbook_new(archivo.constData());
    if (libro == nullptr) return false;
    lxw_worksheet* hoja = workbook_add_worksheet(libro, "Embarque");
    const char* titulos[] = {"Remitente", "Consignatario", "Observaciones", "Notificar", "Guia", "Master",
                             "Pago", "Descripcion", "Peso", "Volumen", "Bultos", "Origen"};
    for (lxw_col_t c = 0; c < 12; ++c) worksheet_write_string(hoja, 0, c, titulos[c], nullptr);
    lxw_row_t fila = 1;
    for (const Guia& g : guias) {
        worksheet_write_string(hoja, fila, 0, g.remitente, nullptr);
        worksheet_write_string(hoja, fila, 1, g.consignatario, nullptr);
        worksheet_write_string(hoja, fila, 3, g.notificar, nullptr);
        worksheet_write_string(hoja, fila, 4, g.numero, nullptr);
        worksheet_write_string(hoja, fila, 5, g.master, nullptr);
        worksheet_write_string(hoja, fila, 6, g.pago, nullptr);
        worksheet_write_string(hoja, fila, 7, g.descripcion, nullptr);
        worksheet_write_number(hoja, fila, 8, g.peso, nullptr);
        worksheet_write_number(hoja, fila, 9, g.volumen, nullptr);
        worksheet_write_number(hoja, fila, 10, g.bultos, nullptr);
        worksheet_write_string(hoja, fila, 11, g.origen, nullptr);
        ++fila;
    }
    return workbook_close(libro) == LXW_NO_ERROR;
}

int crear(const QString& dir) {
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "No se pudo crear el directorio %s\n", qPrintable(dir));
        return 1;
    }
    const QString base = dir + QStringLiteral("/talven.db");
    if (QFile::exists(base)) {
        std::fprintf(stderr, "La base de demostración ya existe: %s\n", qPrintable(base));
        return 1;
    }
    if (!escribo(dir + QStringLiteral("/odbcinst.ini"),
                 QStringLiteral("[SQLite3]\nDescription = SQLite3 ODBC driver\nDriver = %1\n")
                     .arg(QStringLiteral(VEX_SQLITE_DRIVER))) ||
        !escribo(dir + QStringLiteral("/odbc.ini"),
                 // WAL with normal syncing: without a transaction around "Guardar",
                 // the driver's default full sync per statement makes a big
                 // shipment take minutes.
                 QStringLiteral("[ODBC Data Sources]\nTALVEN = SQLite3\n\n[TALVEN]\nDriver = SQLite3\n"
                                "Database = %1\nSyncPragma = NORMAL\nJournalMode = WAL\n")
                     .arg(base))) {
        std::fprintf(stderr, "No se pudieron escribir las listas de orígenes de datos en %s\n", qPrintable(dir));
        return 1;
    }
    apuntoOrigenes(dir);
    DBConn conexion;
    TDBParameters p;
    p.Alias = QStringLiteral("TALVEN");
    p.Tipo = BDFireDac;
    if (!conexion.Connect(p, QString())) {
        std::fprintf(stderr, "No se pudo abrir la base de demostración %s\n", qPrintable(base));
        return 1;
    }
    TVexQuery cons(conexion);
    for (const QString& s : vex::schema::statements(vex::schema::Dialect::SQLite)) ejecuto(cons, s);
    const char* datos[] = {
        "insert into configuracion (lugar) values ('MONTEVIDEO')",
        // INGRESO (kind 0): three open, one archived.
        "insert into manifiestos (id, clave, archivado) values (1, '4  0000341NH009020240301', 1)",
        "insert into manifiestos (id, clave, archivado) values (2, '4  0000342NH009020240308', 0)",
        "insert into manifiestos (id, clave, archivado) values (3, '4  0000343NH009020240315', 0)",
        "insert into manifiestos (id, clave, archivado) values (5, '4  0000344NH009020240322', 0)",
        // EGRESO (kind 1): two open, one archived.
        "insert into manifiestos (id, clave, archivado) values (4, '4  1000118UX015020240305', 1)",
        "insert into manifiestos (id, clave, archivado) values (6, '4  1000119UX015020240312', 0)",
        "insert into manifiestos (id, clave, archivado) values (7, '4  1000120UX015020240319', 0)",
        "insert into IClientes (codigo, nombre) values (1001, 'IMPORTADORA DEL SUR')",
        "insert into IClientes (codigo, nombre) values (1002, 'COMERCIAL MONTEVIDEO SA')",
        "insert into IClientes (codigo, nombre) values (1003, 'DISTRIBUIDORA O''HARA LTDA')",
        "insert into IClientes (codigo, nombre) values (1004, 'TIENDAS LA PAZ')",
        "insert into IClientes (codigo, nombre) values (1005, 'FARMACIA CENTRAL')",
    };
    for (const char* s : datos) ejecuto(cons, QString::fromUtf8(s));
    if (!escriboLibro(dir + QStringLiteral("/guias-demo.xlsx"))) {
        std::fprintf(stderr, "No se pudo escribir el libro de ejemplo\n");
        return 1;
    }
    return 0;
}

int captura(int argc, char** argv, const QString& dir, const QString& salida) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    apuntoOrigenes(dir);
    qputenv("XDG_CONFIG_HOME", (dir + QStringLiteral("/config")).toUtf8());
    qputenv("WINDIR", dir.toUtf8());
    QApplication aplicacion(argc, argv);
    rtl::initFormatSettingsFromLocale();
    QStringList mensajes;
    vcl::setMessageHandler([&mensajes](const vcl::DialogRequest& r) { mensajes << r.text; });
    std::unique_ptr<TfrmPrincipal> ventana = CreateForm({QStringLiteral("importaguias")});
    if (!ventana || !ventana->iniciado()) {
        std::fprintf(stderr, "La ventana no arrancó: %s\n", qPrintable(mensajes.join(u'\n')));
        return 1;
    }
    ventana->show();
    ventana->txtArchivo->setText(dir + QStringLiteral("/guias-demo.xlsx"));
    ventana->cmbManifiesto->setCurrentIndex(0);
    ventana->btnProcesarClick(ventana->btnProcesar);
    QCoreApplication::processEvents();
    if (!mensajes.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(mensajes.join(u'\n')));
        return 1;
    }
    return ventana->grab().save(salida, "PNG") ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "crear") return crear(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    if (argc == 4 && QByteArray(argv[1]) == "captura")
        return captura(argc, argv, QDir(QString::fromLocal8Bit(argv[2])).absolutePath(), QString::fromLocal8Bit(argv[3]));
    std::fprintf(stderr, "uso: importaguias_demo crear DIR | importaguias_demo captura DIR ARCHIVO.png\n");
    return 2;
}
