#include "platform/spreadsheet/xls/xls_reader.h"

#include "platform/spreadsheet/xls/biff8_reader.h"
#include "platform/spreadsheet/xls/compound_file.h"

#include <algorithm>

namespace xl {
namespace {

ReadError damagedFile(const QString& fileName, const QString& detail) {
    return ReadError(QStringLiteral("El archivo \"%1\" está dañado o incompleto y no se puede leer: %2.")
                         .arg(fileName, detail));
}

ReadError tooOld(const QString& fileName) {
    return ReadError(QStringLiteral("El archivo \"%1\" es un libro de Excel 5.0/95 o anterior, un formato "
                                    "demasiado antiguo para leerlo. Ábralo en Excel y guárdelo como libro de "
                                    "Excel (.xlsx).")
                         .arg(fileName));
}

ReadError passwordProtected(const QString& fileName) {
    return ReadError(QStringLiteral("El archivo \"%1\" está protegido con contraseña y no se puede leer. "
                                    "Quítele la contraseña en Excel, guárdelo y vuelva a intentarlo.")
                         .arg(fileName));
}

ReadError notAWorkbook(const QString& fileName) {
    return ReadError(QStringLiteral("El archivo \"%1\" no es un libro de Excel: es un documento de Office "
                                    "de otra clase.")
                         .arg(fileName));
}

bool hasStream(const std::vector<QString>& names, const QString& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
}

}  // namespace

WorkbookData readCompoundDocument(const QByteArray& bytes, const QString& fileName) {
    if (!CompoundFile::hasSignature(bytes)) throw notAWorkbook(fileName);
    QByteArray workbook;
    try {
        const CompoundFile doc(bytes);
        // An encrypted .xlsx is a compound document holding the package.
        if (doc.hasRootEntry(QStringLiteral("EncryptionInfo")) ||
            doc.hasRootEntry(QStringLiteral("EncryptedPackage")))
            throw passwordProtected(fileName);
        const auto names = doc.rootStreamNames();
        if (hasStream(names, QStringLiteral("Workbook"))) workbook = doc.readRootStream(QStringLiteral("Workbook"));
        else if (hasStream(names, QStringLiteral("Book"))) throw tooOld(fileName);
        else throw notAWorkbook(fileName);
    } catch (const CompoundFileError& e) {
        throw damagedFile(fileName, e.message());
    }
    try {
        return parseBiff8Workbook(workbook);
    } catch (const BiffError& e) {
        switch (e.kind()) {
        case BiffError::Kind::TooOld: throw tooOld(fileName);
        case BiffError::Kind::Encrypted: throw passwordProtected(fileName);
        case BiffError::Kind::Damaged: break;
        }
        throw damagedFile(fileName, e.message());
    }
}

}  // namespace xl
