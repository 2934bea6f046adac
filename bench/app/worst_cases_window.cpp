// Peak memory of the whole program on the worst workbooks the size limits let
// through: for each workbook in DIR (those bench_spreadsheet_worst writes),
// the real window (offscreen) in a process of its own, on a fresh SQLite
// database (SyncPragma=NORMAL, WAL), does "Procesar" and then, when it is
// enabled, "Guardar", as a user would; beside it the reader alone on the same
// file (bench_spreadsheet_worst's child). Goal: neither peaks above 512 MiB.
//
// usage: bench_app_worst DIR           each workbook of DIR, both measures
//        bench_app_worst window FILE   (the child: the window on one file)
#include "app/formPrincipal.h"
#include "app/programa.h"
#include "database/DBobj.h"
#include "platform/dialogs/dialogs.h"
#include "tests/app/support/mundo.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QToolButton>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr long kGoalKiB = 512 * 1024;

std::string corto(const QString& texto) {
    QString t = texto;
    t.replace(u'\n', u' ');
    return (t.size() > 160 ? t.left(160) + QStringLiteral("...") : t).toStdString();
}

// The child: the program's window from "Procesar" to the end of "Guardar".
int ventanaSobre(int argc, char** argv, const char* archivo) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacion(argc, argv);
    QStringList mensajes;
    vcl::setMessageHandler([&](const vcl::DialogRequest& r) { mensajes << r.text; });
    try {
        prueba::Mundo mundo(prueba::Motor::SQLite, {{QStringLiteral("SyncPragma"), QStringLiteral("NORMAL")},
                                                    {QStringLiteral("JournalMode"), QStringLiteral("WAL")}});
        mundo.ejecuto(QStringLiteral("insert into manifiestos (id, clave, archivado) values (1, '4  0000001AA000020240101', 0)"));
        mundo.ejecuto(QStringLiteral("insert into IClientes (codigo, nombre) values (1, 'REMITENTE')"));
        std::unique_ptr<TfrmPrincipal> ventana = CreateForm({QStringLiteral("importaguias")});
        ventana->show();
        ventana->txtArchivo->setText(QString::fromLocal8Bit(archivo));
        ventana->cmbManifiesto->setCurrentIndex(0);
        QElapsedTimer reloj;
        reloj.start();
        ventana->btnProcesarClick(ventana->btnProcesar);
        const double procesar = reloj.nsecsElapsed() / 1e9;
        reloj.restart();
        const bool guardar = ventana->btnGuardar->isEnabled();
        if (guardar) ventana->btnGuardarClick(ventana->btnGuardar);
        std::printf("%d waybills read in %.1f s, %s in %.1f s; %d saved",
                    static_cast<int>(ventana->conocimientos->Count()), procesar, guardar ? "saved" : "nothing to save",
                    reloj.nsecsElapsed() / 1e9, guardar ? mundo.cuenta(QStringLiteral("conocimientos")) : 0);
        ventana.reset();
        dbTalven.reset();
    } catch (const std::exception& e) {
        std::printf("failed: %s", e.what());
    }
    for (const QString& m : mensajes) std::printf("\n    message: %s", corto(m).c_str());
    std::printf("\n");
    vcl::setMessageHandler({});
    prueba::reinicioGlobales();
    return 0;
}

// Runs `programa` with its arguments; its peak RSS in KiB, -1 when it did not end well.
long picoDe(const char* programa, const char* modo, const std::string& archivo) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        execl(programa, programa, modo, archivo.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int estado = 0;
    rusage uso{};
    wait4(pid, &estado, 0, &uso);
    return WIFEXITED(estado) && WEXITSTATUS(estado) == 0 ? uso.ru_maxrss : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "window") == 0) return ventanaSobre(argc, argv, argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QStringList libros =
        dir.entryList({QStringLiteral("*.xlsx"), QStringLiteral("*.xls")}, QDir::Files, QDir::Name);
    if (libros.isEmpty()) {
        std::fprintf(stderr, "no workbooks in %s (bench_spreadsheet_worst writes them)\n", argv[1]);
        return 2;
    }
    bool dentro = true;
    for (const QString& nombre : libros) {
        const std::string archivo = dir.filePath(nombre).toStdString();
        std::printf("%s (%.1f MiB)\n  window: ", nombre.toUtf8().constData(),
                    static_cast<double>(QFileInfo(dir.filePath(nombre)).size()) / 1048576.0);
        const long ventana = picoDe("/proc/self/exe", "window", archivo);
        std::printf("  reader: ");
        const long lector = picoDe(VEX_BENCH_SPREADSHEET_WORST, "read", archivo);
        const bool ok = ventana >= 0 && lector >= 0 && ventana <= kGoalKiB && lector <= kGoalKiB;
        dentro = dentro && ok;
        std::printf("  peak RSS: whole program %.1f MiB, reader alone %.1f MiB (goal at most 512)%s\n",
                    static_cast<double>(ventana) / 1024.0, static_cast<double>(lector) / 1024.0,
                    ok ? "" : "  OVER THE GOAL OR FAILED");
        std::printf("RESULT case=%s window_rss_kib=%ld reader_rss_kib=%ld\n", nombre.toUtf8().constData(), ventana,
                    lector);
        std::fflush(stdout);
    }
    return dentro ? 0 : 1;
}
