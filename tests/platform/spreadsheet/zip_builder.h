// Small zip packages built in memory for the reader tests (libzip), so each
// test shows the exact part content it exercises.
#pragma once

#include <QByteArray>
#include <string>
#include <utility>
#include <vector>

namespace xltest {

using Parts = std::vector<std::pair<std::string, std::string>>;

// A zip holding `parts` (name, content), deflated.
QByteArray makeZip(const Parts& parts);

// A minimal workbook: one worksheet "Hoja" whose part is `sheetXml`, plus
// `extra` parts (shared strings, styles) wired into the relationships when
// named xl/sharedStrings.xml or xl/styles.xml. `workbookPr` goes inside
// <workbookPr .../> (e.g. "date1904=\"1\"").
QByteArray makeXlsx(const std::string& sheetXml, const Parts& extra = {}, const std::string& workbookPr = "");
// The parts makeXlsx zips, in its order (the `extra` ones last).
Parts xlsxParts(const std::string& sheetXml, const Parts& extra = {}, const std::string& workbookPr = "");

// <worksheet> around `rows` inside <sheetData>.
std::string sheet(const std::string& rows);

}  // namespace xltest
