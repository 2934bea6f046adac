// libFuzzer target for the xlsx reader.
//
// An input starting with "PK" is read as a whole package, which exercises the
// zip layer. Any other input is split at "\n==\n" into the parts of a small
// workbook (worksheet, shared strings, styles, workbook), stored uncompressed
// in a package built here, so that mutations reach the XML handlers instead
// of dying in the inflater. Every outcome but a ReadError is a finding.
#include "platform/spreadsheet/xlsx_reader.h"

#include <QByteArray>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::uint32_t crc32(std::string_view data) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : data) c = table[(c ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A zip of stored (uncompressed) entries.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& parts) {
    std::string out, central;
    for (const auto& [name, data] : parts) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const std::uint32_t crc = crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        put32(out, 0x04034b50);
        put16(out, 20); put16(out, 0); put16(out, 0); put16(out, 0); put16(out, 0);
        put32(out, crc); put32(out, size); put32(out, size);
        put16(out, static_cast<std::uint32_t>(name.size())); put16(out, 0);
        out += name;
        out += data;
        put32(central, 0x02014b50);
        put16(central, 20); put16(central, 20); put16(central, 0); put16(central, 0); put16(central, 0); put16(central, 0);
        put32(central, crc); put32(central, size); put32(central, size);
        put16(central, static_cast<std::uint32_t>(name.size()));
        put16(central, 0); put16(central, 0); put16(central, 0); put16(central, 0);
        put32(central, 0); put32(central, offset);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50);
    put16(out, 0); put16(out, 0);
    put16(out, static_cast<std::uint32_t>(parts.size())); put16(out, static_cast<std::uint32_t>(parts.size()));
    put32(out, static_cast<std::uint32_t>(central.size())); put32(out, centralOffset);
    put16(out, 0);
    return out;
}

const char* const kWorkbook =
    "<workbook xmlns:r=\"r\"><workbookPr date1904=\"0\"/><sheets><sheet name=\"H\" r:id=\"rId1\"/></sheets></workbook>";
const char* const kRels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId3\" Type=\"x/styles\" Target=\"/xl/styles.xml\"/></Relationships>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string package;
    if (input.substr(0, 2) == "PK") {
        package.assign(input);
    } else {
        std::vector<std::string> pieces;
        std::size_t start = 0;
        while (pieces.size() < 3) {
            const std::size_t cut = input.find("\n==\n", start);
            if (cut == std::string_view::npos) break;
            pieces.emplace_back(input.substr(start, cut - start));
            start = cut + 4;
        }
        pieces.emplace_back(input.substr(start));
        pieces.resize(4);
        package = storedZip({{"xl/workbook.xml", pieces[3].empty() ? std::string(kWorkbook) : pieces[3]},
                             {"xl/_rels/workbook.xml.rels", kRels},
                             {"xl/worksheets/sheet1.xml", pieces[0]},
                             {"xl/sharedStrings.xml", pieces[1]},
                             {"xl/styles.xml", pieces[2]}});
    }
    const QByteArray bytes = QByteArray::fromRawData(package.data(), static_cast<qsizetype>(package.size()));
    xl::ZipLimits limits;
    // Smaller than the real limits, so that the fuzzer reaches them quickly.
    limits.maxPartBytes = 8u << 20;
    limits.maxTotalBytes = 16u << 20;
    limits.ratioGraceBytes = 1u << 20;
    try {
        const xl::WorkbookData wb = xl::readXlsx(bytes, QStringLiteral("fuzz.xlsx"), limits, 16u << 20);
        (void)wb.firstWorksheet.find(1, 1);
    } catch (const xl::ReadError&) {
    }
    return 0;
}
