#include "platform/spreadsheet/xls/xls_reader.h"

#include "platform/spreadsheet/xls/biff8_reader.h"
#include "platform/spreadsheet/xls/compound_file.h"

#include <QFile>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace xl {
namespace {

// Every message opens as the other workbook readers' do: "No se puede leer
// el archivo "<name>": " and then what is wrong.
ReadError failure(const QString& fileName, const QString& what) {
    return ReadError(QStringLiteral("No se puede leer el archivo \"%1\": %2.").arg(fileName, what));
}

ReadError damagedFile(const QString& fileName, const QString& detail) {
    return failure(fileName, QStringLiteral("está dañado o incompleto (%1)").arg(detail));
}

ReadError tooOld(const QString& fileName) {
    return failure(fileName, QStringLiteral("es un libro de Excel 5.0/95 o anterior, un formato demasiado antiguo; "
                                            "ábralo en Excel y guárdelo como libro de Excel (.xlsx)"));
}

ReadError passwordProtected(const QString& fileName) {
    return failure(fileName, QStringLiteral("está protegido con contraseña; quítele la contraseña en Excel, "
                                            "guárdelo y vuelva a intentarlo"));
}

ReadError notAWorkbook(const QString& fileName) {
    return failure(fileName, QStringLiteral("no es un libro de Excel, sino otro tipo de documento de Office"));
}

bool hasStream(const std::vector<QString>& names, const QString& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
}

}  // namespace

namespace {

// `open` makes the CompoundFile; its failures are damage as the rest.
template <class Open>
WorkbookData readDocument(const QString& fileName, std::size_t maxSheetBytes, const Open& open) {
    QByteArray workbook;
    try {
        const CompoundFile doc = open();
        // An encrypted .xlsx is a compound document holding the package.
        if (doc.hasRootEntry(QStringLiteral("EncryptionInfo")) ||
            doc.hasRootEntry(QStringLiteral("EncryptedPackage")))
            throw passwordProtected(fileName);
        // Two entries of either name are damage, whichever of them would be read.
        (void)doc.hasRootEntry(QStringLiteral("Workbook"));
        (void)doc.hasRootEntry(QStringLiteral("Book"));
        const auto names = doc.rootStreamNames();
        if (hasStream(names, QStringLiteral("Workbook"))) workbook = doc.readRootStream(QStringLiteral("Workbook"));
        else if (hasStream(names, QStringLiteral("Book"))) throw tooOld(fileName);
        else throw notAWorkbook(fileName);
    } catch (const CompoundFileError& e) {
        throw damagedFile(fileName, e.message());
    }
    try {
        return parseBiff8Workbook(workbook, maxSheetBytes);
    } catch (const SheetTooLarge& e) {
        throw failure(fileName, e.message());
    } catch (const BiffError& e) {
        switch (e.kind()) {
        case BiffError::Kind::TooOld: throw tooOld(fileName);
        case BiffError::Kind::Encrypted: throw passwordProtected(fileName);
        case BiffError::Kind::Damaged: break;
        }
        throw damagedFile(fileName, e.message());
    }
}

}  // namespace

WorkbookData readCompoundDocument(const QByteArray& bytes, const QString& fileName, std::size_t maxSheetBytes) {
    if (!CompoundFile::hasSignature(bytes)) throw notAWorkbook(fileName);
    return readDocument(fileName, maxSheetBytes, [&bytes] { return CompoundFile(bytes); });
}

WorkbookData readCompoundDocumentFile(QFile& file, const QString& fileName, std::size_t maxSheetBytes) {
    const int fd = file.handle();
    const auto size = static_cast<std::uint64_t>(file.size());
    const auto source = [fd, &fileName](std::uint64_t offset, char* out, std::size_t wanted) {
        std::size_t got = 0;
        while (got < wanted) {
            const ssize_t n = ::pread(fd, out + got, wanted - got, static_cast<off_t>(offset + got));
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                throw failure(fileName, QStringLiteral("no se puede leer (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
            }
            got += static_cast<std::size_t>(n);
        }
        return got;
    };
    return readDocument(fileName, maxSheetBytes, [&] { return CompoundFile(size, source); });
}

}  // namespace xl
