// The whole program started on hostile or oversized per-user settings files:
// for each file, the time until the main window shows (or the program ends)
// and the peak memory of the program's process (window, registry, database
// connection), measured by running the real program in a child process on a
// fresh SQLite data source. Each file is read, or refused as damaged with
// its message shown; the goal is the window within 2 s and 512 MiB.
//
// Run: build, then  ./build/bench/registry/bench_registry_files
// Counters: ventana_s (start to window shown), pico_MiB (the child's peak
// resident memory), archivo_MiB (the settings file), ventana (1 when the
// window showed), rechazado (1 when the file was reported as damaged).
#include "platform/registry/hive.h"
#include "platform/registry/hive_file.h"
#include "tests/app/support/mundo.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QByteArray kHeader = "VEXALON REGISTRY Version 1\n";
// The program's own key, so that its start-up finds "DBD" without writing.
const QByteArray kOwnKey = "\n[Software\\\\Vexalon\\\\importaguias_hijo]\n\"DBD\"=\"FDC\"\n";

// A binary value whose byte list goes on over `lines` lines of 15 bytes.
QByteArray continuedValue(qsizetype lines) {
    QByteArray out = kHeader + "[Software\\\\Vexalon\\\\datos]\n\"Blob\"=hex:00,\\\n";
    const QByteArray line = "  01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,\\\n";
    out.reserve(out.size() + lines * line.size() + 8);
    for (qsizetype i = 1; i < lines; ++i) out += line;
    out += "  ff\n";
    return out;
}

// One key `depth` names deep, each name two letters.
QByteArray deepKey(qsizetype depth) {
    QByteArray out = kHeader + kOwnKey + "\n[";
    for (qsizetype i = 0; i < depth; ++i) out += i == 0 ? "ab" : "\\ab";
    out += "]\n\"v\"=dword:00000001\n";
    return out;
}

// Program keys of three values each, up to `bytes`.
QByteArray manyKeys(qsizetype bytes) {
    QByteArray out = kHeader + kOwnKey;
    out.reserve(bytes + 256);
    for (int i = 0; out.size() < bytes; ++i) {
        out += QStringLiteral("\n[Software\\\\Vexalon\\\\programa%1] 1700000000\n\"DBD\"=\"FDC\"\n"
                              "\"NO_VALIDO_VOL\"=dword:00000001\n\"Dir\"=str(2):\"%HOME%\\\\html\\\\%1\"\n")
                   .arg(i)
                   .toUtf8();
    }
    return out;
}

// What costs most memory for each byte of file, just below the size bound.
QByteArray nearTheBound(const std::function<void(QByteArray&, int)>& item) {
    QByteArray out = kHeader + kOwnKey;
    out.reserve(reg::kMaxFileBytes);
    for (int i = 0;; ++i) {
        const qsizetype before = out.size();
        item(out, i);
        if (out.size() > reg::kMaxFileBytes) {
            out.truncate(before);
            return out;
        }
    }
}

// Keys 512 names deep, one-letter names: one key for every two bytes.
void tinyKeys(QByteArray& out, int i) {
    out += '[';
    out += QByteArray::number(i, 36);
    for (qsizetype d = 1; d < reg::kMaxKeyDepth; ++d) out += "\\a";
    out += "]\n";
}

// Sections of one key, each holding one short value.
void tinySections(QByteArray& out, int i) { out += "[k]\n\"" + QByteArray::number(i, 36) + "\"=\"\"\n"; }

// One comment line after another.
void comments(QByteArray& out, int) { out += ";\n"; }

struct File {
    const char* name;
    std::function<QByteArray()> make;
};

const File kFiles[] = {
    {"sin_archivo", [] { return QByteArray(); }},
    {"binario_40000_lineas", [] { return continuedValue(40000); }},
    {"binario_200000_lineas", [] { return continuedValue(200000); }},
    {"clave_20000_niveles", [] { return deepKey(20000); }},
    {"clave_40000_niveles", [] { return deepKey(40000); }},
    {"claves_93MB", [] { return manyKeys(93 * 1000 * 1000); }},
    {"claves_al_limite", [] { return manyKeys(reg::kMaxFileBytes - 200); }},
    {"claves_minimas_al_limite", [] { return nearTheBound(tinyKeys); }},
    {"secciones_minimas_al_limite", [] { return nearTheBound(tinySections); }},
    {"comentarios_al_limite", [] { return nearTheBound(comments); }},
    {"binario_al_limite", [] { return continuedValue((reg::kMaxFileBytes - 200) / 49); }},
};

struct Run {
    double seconds = 0;  // until the window showed, or until the program ended
    double peakMiB = 0;
    bool window = false;
    QString output;
};

// The program in a child process; it prints its dialogs and "VENTANA" and
// ends once its window shows.
Run runProgram() {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::string exe = VEX_PROGRAMA_HIJO;
    char* args[] = {exe.data(), nullptr};
    QElapsedTimer clock;
    clock.start();
    // fork, not posix_spawn: a child that shares this process's memory until
    // exec would report this process's peak as its own.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execve(exe.c_str(), args, environ);
        ::_exit(127);
    }
    ::close(out[1]);
    if (pid < 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + exe);
    }
    Run run;
    QByteArray text;
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buf, n);
        if (!run.window && text.contains("VENTANA\n")) {
            run.window = true;
            run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        }
    }
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!run.window) run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.output = QString::fromUtf8(text).trimmed();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) run.output += QStringLiteral("\n(terminó con estado %1)").arg(status);
    return run;
}

void ProgramStart(benchmark::State& state, const File& file) {
    std::unique_ptr<prueba::Mundo> world;
    try {
        world = std::make_unique<prueba::Mundo>(prueba::Motor::SQLite);
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    const QString hive = reg::userHivePath();
    for (auto _ : state) {
        QFile::remove(hive);
        qsizetype size = 0;
        {
            // Let go of the text before the child starts: it begins with this
            // process's resident memory.
            const QByteArray text = file.make();
            size = text.size();
            if (!text.isEmpty()) {
                QDir().mkpath(QFileInfo(hive).absolutePath());
                QFile f(hive);
                if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
                    state.SkipWithError("cannot write the settings file");
                    return;
                }
            }
        }
        const Run run = runProgram();
        state.SetIterationTime(run.seconds);
        state.counters["ventana_s"] = run.seconds;
        state.counters["pico_MiB"] = run.peakMiB;
        state.counters["archivo_MiB"] = static_cast<double>(size) / (1024.0 * 1024.0);
        state.counters["ventana"] = run.window ? 1 : 0;
        state.counters["rechazado"] = run.output.contains(QStringLiteral("está dañado")) ? 1 : 0;
        if (!run.window) state.SkipWithError(("no window: " + run.output.toStdString()).c_str());
        else if (!run.output.startsWith(QStringLiteral("VENTANA")))
            state.SetLabel(run.output.section(u'\n', 0, 0).left(160).toStdString());
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const File& file : kFiles) {
        benchmark::RegisterBenchmark((std::string("ProgramStart/") + file.name).c_str(), ProgramStart, file)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
