// "Procesar" then "Guardar" of 10,000 and 100,000 waybills on the real window
// (offscreen): rows per second for each step and the process's peak memory.
// Each case runs once on a fresh database: SQLite with the driver's defaults,
// SQLite with SyncPragma=NORMAL and the WAL journal, and PostgreSQL on the
// tests' throwaway server (bench/app/run.sh starts it).
#include "app/formPrincipal.h"
#include "app/programa.h"
#include "database/DBobj.h"
#include "platform/dialogs/dialogs.h"
#include "tests/app/support/libro.h"
#include "tests/app/support/mundo.h"
#include "tests/support/process_locale.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QToolButton>
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <xlsxwriter.h>

namespace {

enum class Caso { SQLite, SQLiteNormalWal, PostgreSQL };

// A workbook of `filas` waybills with 200 distinct consignees.
QString libroDe(int filas, const QString& dir) {
    const QString ruta = dir + QStringLiteral("/guias-%1.xlsx").arg(filas);
    // libxlsxwriter prints numbers under the current LC_NUMERIC.
    const vextest::CNumericForThisThread puntoDecimal;
    const QByteArray archivo = ruta.toUtf8();
    lxw_workbook_options opciones{};
    opciones.constant_memory = LXW_TRUE;
    lxw_workbook* libro = workbook_new_opt(archivo.constData(), &opciones);
    lxw_worksheet* hoja = workbook_add_worksheet(libro, nullptr);
    for (lxw_col_t c = 0; c < 12; ++c) worksheet_write_string(hoja, 0, c, "titulo", nullptr);
    for (int r = 1; r <= filas; ++r) {
        const auto f = static_cast<lxw_row_t>(r);
        const QByteArray numero = QStringLiteral("176-%1").arg(10000000 + r).toUtf8();
        const QByteArray consignatario = QStringLiteral("cliente %1").arg(r % 200).toUtf8();
        worksheet_write_string(hoja, f, 0, "remitente de prueba", nullptr);
        worksheet_write_string(hoja, f, 1, consignatario.constData(), nullptr);
        worksheet_write_string(hoja, f, 3, "notificar", nullptr);
        worksheet_write_string(hoja, f, 4, numero.constData(), nullptr);
        worksheet_write_string(hoja, f, 5, "176-10000000", nullptr);
        worksheet_write_string(hoja, f, 6, "pp", nullptr);
        worksheet_write_string(hoja, f, 7, "mercaderia general", nullptr);
        worksheet_write_number(hoja, f, 8, 10.5 + r % 7, nullptr);
        worksheet_write_number(hoja, f, 9, 0.25, nullptr);
        worksheet_write_number(hoja, f, 10, 1 + r % 5, nullptr);
        worksheet_write_string(hoja, f, 11, "JPNRT", nullptr);
    }
    workbook_close(libro);
    return ruta;
}

double picoMiB() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return static_cast<double>(uso.ru_maxrss) / 1024.0;
}

void ProcesarYGuardar(benchmark::State& state, Caso caso) {
    const int filas = static_cast<int>(state.range(0));
    vextest::DsnKeys claves;
    if (caso == Caso::SQLiteNormalWal)
        claves = {{QStringLiteral("SyncPragma"), QStringLiteral("NORMAL")},
                  {QStringLiteral("JournalMode"), QStringLiteral("WAL")}};
    std::unique_ptr<prueba::Mundo> mundo;
    try {
        mundo = std::make_unique<prueba::Mundo>(
            caso == Caso::PostgreSQL ? prueba::Motor::PostgreSQL : prueba::Motor::SQLite, claves);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    mundo->ejecuto(QStringLiteral("insert into manifiestos (id, clave, archivado) values (1, '4  0000001AA000020240101', 0)"));
    QStringList clientes;
    for (int i = 0; i < 200; i += 2)
        clientes << QStringLiteral("insert into IClientes (codigo, nombre) values (%1, 'CLIENTE %2')").arg(i + 1).arg(i);
    mundo->ejecuto(clientes);
    const QString libro = libroDe(filas, mundo->ruta(QString()));
    QStringList mensajes;
    vcl::setMessageHandler([&](const vcl::DialogRequest& r) { mensajes << r.text; });

    for (auto _ : state) {
        std::unique_ptr<TfrmPrincipal> ventana = CreateForm({QStringLiteral("importaguias")});
        ventana->show();
        ventana->txtArchivo->setText(libro);
        ventana->cmbManifiesto->setCurrentIndex(0);
        QElapsedTimer reloj;
        reloj.start();
        ventana->btnProcesarClick(ventana->btnProcesar);
        const double procesar = reloj.nsecsElapsed() / 1e9;
        reloj.restart();
        ventana->btnGuardarClick(ventana->btnGuardar);
        const double guardar = reloj.nsecsElapsed() / 1e9;
        state.SetIterationTime(procesar + guardar);
        state.counters["procesar_s"] = procesar;
        state.counters["procesar_filas_s"] = filas / procesar;
        state.counters["guardar_s"] = guardar;
        state.counters["guardar_filas_s"] = filas / guardar;
        if (ventana->conocimientos->Count() != filas || mensajes != QStringList{QStringLiteral("¡Proceso finalizado")}) {
            state.SkipWithError((QStringLiteral("the run did not complete: ") + mensajes.join(u'\n')).toStdString().c_str());
            break;
        }
        mensajes.clear();
        ventana.reset();
        dbTalven.reset();
    }
    state.counters["pico_MiB"] = picoMiB();
    vcl::setMessageHandler({});
    prueba::reinicioGlobales();
}

}  // namespace

// The driver's default syncs the file after every statement (the run opens no
// transaction): 60,000 syncs for 10,000 new waybills, so 10,000 rows only.
BENCHMARK_CAPTURE(ProcesarYGuardar, sqlite, Caso::SQLite)->Arg(10000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ProcesarYGuardar, sqlite_normal_wal, Caso::SQLiteNormalWal)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(ProcesarYGuardar, postgresql, Caso::PostgreSQL)->Arg(10000)->Arg(100000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
