// libFuzzer target: any bytes through the .xls reader, once from memory and
// once from a file (an in-memory one), where the streams are read sector by
// sector. Refusals (ReadError) are the expected outcome for almost every
// input; anything else that escapes, a crash, a hang, a sanitizer report, or
// the two roads disagreeing is a finding.
#include "platform/spreadsheet/xls/xls_reader.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>

namespace {

using Outcome = std::optional<std::pair<std::size_t, std::int32_t>>;  // tabs and rows, or refused

Outcome summary(const xl::WorkbookData& book) {
    return std::make_pair(book.sheets.size(), book.firstWorksheet.rowCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    Outcome fromMemory, fromFile;
    try {
        fromMemory = summary(xl::readCompoundDocument(bytes, QStringLiteral("fuzz.xls")));
    } catch (const xl::ReadError&) {
    }
    static const int fd = memfd_create("fuzz.xls", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        std::abort();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) std::abort();
    try {
        fromFile = summary(xl::readCompoundDocumentFile(file, QStringLiteral("fuzz.xls")));
    } catch (const xl::ReadError&) {
    }
    if (fromMemory != fromFile) std::abort();
    return 0;
}
