#include "platform/spreadsheet/workbook_reader.h"

#include "platform/spreadsheet/xlsx_reader.h"
#include "platform/spreadsheet/zip_archive.h"

#ifdef VEX_HAVE_XLS_READER
#include "platform/spreadsheet/xls/xls_reader.h"
#endif

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <new>

namespace xl {

namespace {

[[noreturn]] void refuse(const QString& fileName, const QString& what) { throw ReadError(readFailure(fileName, what)); }

bool startsWith(const QByteArray& bytes, const char* magic, qsizetype size) {
    return bytes.size() >= size && std::memcmp(bytes.constData(), magic, static_cast<std::size_t>(size)) == 0;
}

}  // namespace

WorkbookData readWorkbook(const QByteArray& bytes, const QString& fileName) {
    const auto fail = [&](const QString& what) { refuse(fileName, what); };
    if (bytes.isEmpty()) fail(QStringLiteral("el archivo está vacío"));
    try {
        if (startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
#ifdef VEX_HAVE_XLS_READER
            return readCompoundDocument(bytes, fileName);
#else
            fail(QStringLiteral("es un libro de Excel 97-2003 (.xls), que esta versión no puede leer; ábralo y guárdelo como libro de Excel (.xlsx)"));
#endif
        }
        if (startsWith(bytes, "PK\x03\x04", 4)) return readXlsx(bytes, fileName);
    } catch (const std::bad_alloc&) {
        fail(QStringLiteral("no hay memoria suficiente para leerlo"));
    }
    refuse(fileName, QStringLiteral("no es un libro de Excel (.xlsx, .xlsm o .xls)"));
}

WorkbookData readWorkbookFile(const QString& path) {
    const auto fail = [&](const QString& what) { throw ReadError(readFailure(path, what)); };
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists()) fail(QStringLiteral("el archivo no existe"));
    if (info.isDir()) fail(QStringLiteral("es una carpeta, no un archivo"));
    if (!file.open(QIODevice::ReadOnly)) fail(QStringLiteral("no se puede abrir (%1)").arg(file.errorString()));
    if (file.size() > kMaxWorkbookFileBytes)
        fail(QStringLiteral("ocupa más de %1 MiB, más de lo que puede tener un libro de guías").arg(kMaxWorkbookFileBytes >> 20));
    char magic[8] = {};
    const qint64 got = file.read(magic, sizeof magic);
    if (got < 0) fail(QStringLiteral("no se puede leer (%1)").arg(file.errorString()));
    const QByteArray head(magic, static_cast<qsizetype>(got));
    // A zip package is read from the file part by part, as needed, and so is
    // a compound document: never the whole file at once.
    if (startsWith(head, "PK\x03\x04", 4)) {
        file.close();
        try {
            return readXlsxFile(path);
        } catch (const std::bad_alloc&) {
            fail(QStringLiteral("no hay memoria suficiente para leerlo"));
        }
    }
#ifdef VEX_HAVE_XLS_READER
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        try {
            return readCompoundDocumentFile(file, path);
        } catch (const std::bad_alloc&) {
            fail(QStringLiteral("no hay memoria suficiente para leerlo"));
        }
    }
#endif
    // Anything else is refused for what its first bytes are.
    return readWorkbook(head, path);
}

}  // namespace xl
