// The per-user settings file with many keys (30,000 by default): parsing it,
// one start-up read through TRegistry, and one write (lock, re-read, atomic
// replace). Parsing must stay linear in the number of keys and values.
//
// Run: build, then  ./build/bench/registry/bench_registry
#include "platform/registry/hive.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

// A hive file with `keys` program keys of three values each, as a machine
// shared by many programs over the years might collect.
QByteArray manyKeys(int keys) {
    QByteArray out = "VEXALON REGISTRY Version 1\n;; many programs\n";
    for (int i = 0; i < keys; ++i) {
        out += QStringLiteral("\n[Software\\\\Vexalon\\\\programa%1] 1700000000\n\"DBD\"=\"FDC\"\n"
                              "\"NO_VALIDO_VOL\"=dword:00000001\n\"Dir\"=str(2):\"%HOME%\\\\html\\\\%1\"\n")
                   .arg(i)
                   .toUtf8();
    }
    return out;
}

void BM_ParseHive(benchmark::State& state) {
    const QByteArray text = manyKeys(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const reg::Hive h = reg::Hive::parse(text, QStringLiteral("bench"));
        benchmark::DoNotOptimize(h.keys().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_ParseHive)->Arg(1000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A value named many times over in one key.
void BM_ParseOneKeyManyValues(benchmark::State& state) {
    QByteArray text = "VEXALON REGISTRY Version 1\n[Software\\\\Vexalon\\\\x]\n";
    for (int i = 0; i < state.range(0); ++i) text += QStringLiteral("\"v%1\"=dword:%1\n").arg(i % 100000000).toUtf8();
    for (auto _ : state) {
        const reg::Hive h = reg::Hive::parse(text, QStringLiteral("bench"));
        benchmark::DoNotOptimize(h.keys().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseOneKeyManyValues)->Arg(30000)->Unit(benchmark::kMillisecond);

void BM_SerializeHive(benchmark::State& state) {
    const reg::Hive h = reg::Hive::parse(manyKeys(static_cast<int>(state.range(0))), QStringLiteral("bench"));
    for (auto _ : state) benchmark::DoNotOptimize(h.serialize().size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SerializeHive)->Arg(30000)->Unit(benchmark::kMillisecond);

struct HiveOnDisk {
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/registry.reg");
    explicit HiveOnDisk(int keys) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(manyKeys(keys)) < 0) throw std::runtime_error("cannot write");
    }
};

// What a start-up reads: "DBD" and three integers, each call opening the
// program's key afresh. The file changed since the last start-up, so it is
// parsed once.
void BM_StartUpReads(benchmark::State& state) {
    const HiveOnDisk disk(static_cast<int>(state.range(0)));
    const QByteArray text = manyKeys(static_cast<int>(state.range(0)));
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        {
            QFile f(disk.path);
            if (!f.open(QIODevice::WriteOnly) || f.write(text + QByteArray::number(++run).prepend("; ") + "\n") < 0)
                state.SkipWithError("cannot write");
        }
        state.ResumeTiming();
        const QString key = QStringLiteral("Software\\Vexalon\\programa17");
        {
            reg::TRegistry r(disk.path);
            if (!r.OpenKey(key, false)) state.SkipWithError("no key");
            benchmark::DoNotOptimize(r.ReadString(QStringLiteral("DBD")).size());
        }
        for (const char* name : {"modifica_operaciones", "DESA", "NO_VALIDO_VOL"}) {
            reg::TRegistry r(disk.path);
            if (r.KeyExists(key) && r.OpenKey(key, false) && r.ValueExists(QString::fromUtf8(name)))
                benchmark::DoNotOptimize(r.ReadInteger(QString::fromUtf8(name)));
        }
    }
}
BENCHMARK(BM_StartUpReads)->Arg(30000)->Unit(benchmark::kMillisecond);

// One value written: lock, read, change, write, fsync, rename.
void BM_WriteValue(benchmark::State& state) {
    const HiveOnDisk disk(static_cast<int>(state.range(0)));
    int n = 0;
    for (auto _ : state) {
        reg::TRegistry r(disk.path);
        if (!r.OpenKey(QStringLiteral("Software\\Vexalon\\programa17"), true)) state.SkipWithError("no key");
        r.WriteInteger(QStringLiteral("NO_VALIDO_VOL"), ++n % 2);
    }
}
BENCHMARK(BM_WriteValue)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
