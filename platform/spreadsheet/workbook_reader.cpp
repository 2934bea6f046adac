#include "platform/spreadsheet/workbook_reader.h"

#include "platform/runtime/regular_file.h"
#include "platform/spreadsheet/xlsx_reader.h"
#include "platform/spreadsheet/zip_archive.h"

#ifdef VEX_HAVE_XLS_READER
#include "platform/spreadsheet/xls/xls_reader.h"
#endif

#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Why open() refused `path`, said for the user.
QString openFailure(const QByteArray& path, int err) {
    switch (err) {
    case ENOENT: {
        struct stat st{};
        if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            return QStringLiteral("es un enlace simbólico a un archivo que no existe");
        return QStringLiteral("el archivo no existe");
    }
    case ELOOP:
        return QStringLiteral("es un enlace simbólico que no lleva a ningún archivo: forma un ciclo o una cadena de enlaces demasiado larga");
    case EACCES:
    case EPERM: return QStringLiteral("no tiene permiso para leerlo");
    case ENOTDIR: return QStringLiteral("una parte de su ruta no es una carpeta");
    case ENAMETOOLONG: return QStringLiteral("su nombre o su ruta es demasiado largo");
    case ENXIO: return QStringLiteral("no es un archivo, sino un dispositivo o un socket");
    case EMFILE:
    case ENFILE: return QStringLiteral("hay demasiados archivos abiertos; cierre alguno y vuelva a intentarlo");
    case ENOMEM: return QStringLiteral("no hay memoria suficiente para abrirlo");
    default: return QStringLiteral("no se puede abrir (%1)").arg(errnoText(err));
    }
}

QString notAFile(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("es una carpeta, no un archivo");
    if (S_ISFIFO(mode)) return QStringLiteral("es una tubería (FIFO), no un archivo");
    if (S_ISSOCK(mode)) return QStringLiteral("es un socket, no un archivo");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("es un dispositivo, no un archivo");
    return QStringLiteral("no es un archivo común");
}

}  // namespace

WorkbookData readWorkbookFile(const QString& path) {
    const auto fail = [&](const QString& what) { throw ReadError(readFailure(path, what)); };
    // Opened once and read only through this descriptor, so that what is
    // checked here is what is read, even if the name is given to another
    // file meanwhile. A FIFO without a writer must not hang the open;
    // anything but a regular file is refused before it is read.
    const rtl::OpenedForReading opened = rtl::openForReading(path);
    if (opened.fd.get() < 0) fail(openFailure(QFile::encodeName(path), opened.error));
    if (opened.error != 0) fail(QStringLiteral("no se puede leer (%1)").arg(errnoText(opened.error)));
    const rtl::FileDescriptor& fd = opened.fd;
    const struct stat& st = opened.status;
    if (!S_ISREG(st.st_mode)) fail(notAFile(st.st_mode));
    if (st.st_size > kMaxWorkbookFileBytes)
        fail(QStringLiteral("ocupa más de %1 MiB, más de lo que puede tener un libro de guías").arg(kMaxWorkbookFileBytes >> 20));

    char magic[8] = {};
    std::size_t got = 0;
    while (got < sizeof magic) {
        const ssize_t n = ::pread(fd.get(), magic + got, sizeof magic - got, static_cast<off_t>(got));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(QStringLiteral("no se puede leer (%1)").arg(errnoText(errno)));
        }
        got += static_cast<std::size_t>(n);
    }
    const QByteArray head(magic, static_cast<qsizetype>(got));
    // A zip package is read from the file part by part, as needed, and so is
    // a compound document: never the whole file at once.
    if (startsWith(head, "PK\x03\x04", 4)) {
        try {
            return readXlsxFile(fd.get(), path);
        } catch (const std::bad_alloc&) {
            fail(QStringLiteral("no hay memoria suficiente para leerlo"));
        }
    }
#ifdef VEX_HAVE_XLS_READER
    if (startsWith(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        QFile file;
        if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
            fail(QStringLiteral("no se puede leer (%1)").arg(file.errorString()));
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
