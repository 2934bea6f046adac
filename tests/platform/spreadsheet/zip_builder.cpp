#include "zip_builder.h"

#include <zip.h>

#include <QFile>
#include <QTemporaryDir>
#include <stdexcept>

namespace xltest {

QByteArray makeZip(const Parts& parts) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.zip"));
    int err = 0;
    zip_t* z = zip_open(path.toLocal8Bit().constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (z == nullptr) throw std::runtime_error("zip_open");
    for (const auto& [name, content] : parts) {
        zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
        if (src == nullptr || zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(src);
            zip_discard(z);
            throw std::runtime_error("zip_file_add");
        }
    }
    if (zip_close(z) != 0) {
        zip_discard(z);
        throw std::runtime_error("zip_close");
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("read zip");
    return f.readAll();
}

std::string sheet(const std::string& rows) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
           rows + "</sheetData></worksheet>";
}

QByteArray makeXlsx(const std::string& sheetXml, const Parts& extra, const std::string& workbookPr) {
    return makeZip(xlsxParts(sheetXml, extra, workbookPr));
}

Parts xlsxParts(const std::string& sheetXml, const Parts& extra, const std::string& workbookPr) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    for (const auto& [name, content] : extra) {
        if (name == "xl/sharedStrings.xml")
            rels += "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
        if (name == "xl/styles.xml")
            rels += "<Relationship Id=\"rId3\" Type=\"" + rel + "styles\" Target=\"styles.xml\"/>";
    }
    rels += "</Relationships>";
    Parts parts = {
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"" + rel.substr(0, rel.size() - 1) +
             "\"><workbookPr " + workbookPr + "/><sheets><sheet name=\"Hoja\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", rels},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    for (const auto& p : extra) parts.push_back(p);
    return parts;
}

}  // namespace xltest
