// Reads every cell of columns 1 to 12 of a workbook through the automation
// stand-in, as the workbook reading does (CreateOleObject ... Cells, each
// value converted to text, or to a number in the amount columns 9 to 11),
// and reports cells per second and peak memory. run.sh runs it beside SheetJS.
//
// usage: bench_spreadsheet_read WORKBOOK [ROWS] [REPEATS]
#include "platform/spreadsheet/excel_application.h"

#include <QString>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WORKBOOK [ROWS] [REPEATS]\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int rows = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
    double best = 1e300;
    double checksum = 0;
    long long cells = 0;
    for (int r = 0; r < repeats; ++r) {
        const auto start = std::chrono::steady_clock::now();
        cells = 0;
        auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
        excel->setVisible(false);
        excel->Workbooks()->open(path);
        auto sheet = excel->Workbooks(1)->Worksheets(1);
        for (int row = 2; row <= rows + 1; ++row) {
            for (int col = 1; col <= 12; ++col) {
                const ole::Variant v = sheet->Cells(row, col);
                if (col >= 9 && col <= 11) checksum += v.toNumber();
                else checksum += static_cast<double>(v.toText().size());
                ++cells;
            }
        }
        excel->Workbooks()->close();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best) best = seconds;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("stand-in: %lld cells in %.3f s (best of %d) = %.2f million cells/s, peak RSS %.1f MiB (checksum %.0f)\n",
                cells, best, repeats, static_cast<double>(cells) / best / 1e6, static_cast<double>(usage.ru_maxrss) / 1024.0,
                checksum);
    std::printf("RESULT standin_seconds=%.6f standin_cells=%lld standin_rss_kib=%ld\n", best, cells, usage.ru_maxrss);
    return 0;
}
