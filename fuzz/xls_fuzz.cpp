// libFuzzer target: any bytes through the .xls reader. Refusals (ReadError)
// are the expected outcome for almost every input; anything else that
// escapes, a crash, a hang or a sanitizer report is a finding.
#include "platform/spreadsheet/xls/xls_reader.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const xl::WorkbookData book = xl::readCompoundDocument(bytes, QStringLiteral("fuzz.xls"));
        // Touch what a caller reads so the cells are not optimised away.
        volatile std::size_t tabs = book.sheets.size();
        (void)tabs;
    } catch (const xl::ReadError&) {
    }
    return 0;
}
