// Peak memory of reading the most memory-hungry workbooks the size limits let
// through, each in a fresh process: millions of one-digit cells in an .xlsx,
// an .xlsx of millions of empty shared strings and cells that use them, and
// .xls files with every cell of a BIFF8 sheet in bottom-up rows beside
// millions of empty shared strings, in order and with the stream's sectors
// out of order, .xlsx files of one enormous attribute or text, a stored
// .xlsx with a 90-million-character consignee, .xls files of 33 million
// one-character shared strings no cell uses, and two small .xlsx files that
// cost the reader little and the program's waybill list much (one long
// shared string in every text of 3,000 rows; a waybill in every row of the
// sheet): bench/app's bench_app_worst reads each through the whole window.
// The files are written by this program
// (once, into DIR). Goal: no case peaks above 512 MiB, whether the reader
// takes the file or refuses it.
//
// usage: bench_spreadsheet_worst DIR        writes what is missing, reads each case
//        bench_spreadsheet_worst read FILE  (the child: reads one file)
#include "platform/spreadsheet/excel_application.h"

#include <QString>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr long kGoalKiB = 512 * 1024;

// ------------------------------------------------------------------ .xlsx

// libzip reads `content` only when the archive is closed: it must live until then.
void addPart(zip_t* z, const std::string& name, const std::string& content, bool stored = false) {
    zip_source_t* src = zip_source_buffer(z, content.data(), content.size(), 0);
    const zip_int64_t index = src == nullptr ? -1 : zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE);
    if (index < 0 || (stored && zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0) != 0)) {
        std::fprintf(stderr, "zip_file_add %s\n", name.c_str());
        std::exit(1);
    }
}

// `stored`: every part without compression, as some tools write them.
void writeXlsx(const std::string& path, const std::string& sheetData, const std::string* sharedStrings,
               bool stored = false) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const std::string ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"" + rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (sharedStrings != nullptr)
        rels += "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    rels += "</Relationships>";
    const std::string sheet = "<worksheet xmlns=\"" + ns + "\"><sheetData>" + sheetData + "</sheetData></worksheet>";
    const std::string root = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                             "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const std::string book = "<workbook xmlns=\"" + ns + "\" xmlns:r=\"" + rel.substr(0, rel.size() - 1) +
                             "\"><sheets><sheet name=\"Hoja\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const std::string sst = sharedStrings != nullptr ? "<sst xmlns=\"" + ns + "\">" + *sharedStrings + "</sst>" : "";
    int err = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (z == nullptr) std::exit(1);
    addPart(z, "_rels/.rels", root, stored);
    addPart(z, "xl/workbook.xml", book, stored);
    addPart(z, "xl/_rels/workbook.xml.rels", rels, stored);
    addPart(z, "xl/worksheets/sheet1.xml", sheet, stored);
    if (sharedStrings != nullptr) addPart(z, "xl/sharedStrings.xml", sst, stored);
    if (zip_close(z) != 0) std::exit(1);
}

// One-digit cells without references, as many as a 128 MiB part holds.
void tinyCells(const std::string& path) {
    std::mt19937 rng(1);
    std::string rows;
    const std::size_t budget = (128u << 20) - 4096;
    while (rows.size() + 15 * 1000 + 11 < budget) {
        rows += "<row>";
        for (int c = 0; c < 1000; ++c) {
            rows += "<c><v>";
            rows += static_cast<char>('0' + rng() % 10);  // varied, or the part deflates past 200:1
            rows += "</v></c>";
        }
        rows += "</row>";
    }
    writeXlsx(path, rows, nullptr);
}

// A shared-string table of empty strings and cells pointing into it, the two
// parts near the 256 MiB the parts may take together.
void emptySharedStrings(const std::string& path) {
    std::mt19937 rng(2);
    std::string items;
    std::size_t count = 0;
    while (items.size() < (124u << 20)) {
        items += rng() % 2 ? "<si/>" : "<si><t/></si>";
        ++count;
    }
    std::string rows;
    while (rows.size() < (124u << 20)) {
        rows += "<row>";
        for (int c = 0; c < 200; ++c) rows += "<c t=\"s\"><v>" + std::to_string(rng() % count) + "</v></c>";
        rows += "</row>";
    }
    writeXlsx(path, rows, &items);
}

// Random lower-case letters (so that the part deflates as real text does,
// far below the ratio the reader allows), `escapes` an _x0041_ in front.
std::string letters(std::size_t size, bool escaped) {
    std::mt19937 rng(3);
    std::string s = escaped ? "_x0041_" : "";
    while (s.size() < size) s += static_cast<char>('a' + rng() % 26);
    return s;
}

// One cell whose start tag carries an attribute of `size` bytes.
void hugeAttribute(const std::string& path, std::size_t size) {
    writeXlsx(path, "<row r=\"1\"><c r=\"A1\" x=\"" + letters(size, false) + "\"><v>1</v></c></row>", nullptr);
}

// One shared string of `size` bytes, used by A1.
void hugeSharedString(const std::string& path, std::size_t size) {
    const std::string items = "<si><t>" + letters(size, true) + "</t></si>";
    writeXlsx(path, "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", &items);
}

// One inline text of `size` bytes in A1.
void hugeInlineText(const std::string& path, std::size_t size) {
    writeXlsx(path, "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + letters(size, true) + "</t></is></c></row>",
              nullptr);
}

// A waybill in row 2 whose consignee (B2, a shared string) has `size`
// characters, every part stored: the file is as large as the text.
void longConsignee(const std::string& path, std::size_t size) {
    std::string items = "<si><t>numero</t></si><si><t>";
    items += letters(size, false);
    items += "</t></si>";
    const std::string rows = "<row r=\"1\"><c r=\"E1\" t=\"s\"><v>0</v></c></row>"
                             "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>remitente</t></is></c>"
                             "<c r=\"B2\" t=\"s\"><v>1</v></c>"
                             "<c r=\"E2\" t=\"inlineStr\"><is><t>176-10000001</t></is></c>"
                             "<c r=\"I2\"><v>12.5</v></c></row>";
    writeXlsx(path, rows, &items, true);
}

// Rows 2 to `rows` + 1, each a waybill whose texts (columns A, B, D, F, G, H)
// are all one shared string of a cell's most characters: the reader holds it
// once, the program a copy of it for each field of each row it reads.
void repeatedLongText(const std::string& path, int rows) {
    const std::string items = "<si><t>" + letters(32767, false) + "</t></si>";
    std::string data;
    for (int r = 2; r <= rows + 1; ++r) {
        const std::string n = std::to_string(r);
        data += "<row r=\"" + n + "\">";
        for (const char* col : {"A", "B", "D"}) data += "<c r=\"" + std::string(col) + n + "\" t=\"s\"><v>0</v></c>";
        data += "<c r=\"E" + n + "\"><v>" + n + "</v></c>";
        for (const char* col : {"F", "G", "H"}) data += "<c r=\"" + std::string(col) + n + "\" t=\"s\"><v>0</v></c>";
        data += "</row>";
    }
    writeXlsx(path, data, &items);
}

// Every row of a sheet from 2 on holds just its waybill number in E: as many
// waybills as a sheet has rows, each costing the program its list entry.
void everyRowAWaybill(const std::string& path) {
    std::string data;
    for (std::int32_t r = 2; r <= 1048576; ++r) {
        const std::string n = std::to_string(r);
        data += "<row r=\"" + n + "\"><c r=\"E" + n + "\"><v>" + n + "</v></c></row>";
    }
    writeXlsx(path, data, nullptr);
}

// ------------------------------------------------------------------- .xls

void put16(std::string& s, std::uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(s, static_cast<std::uint16_t>(v >> 16));
}
void record(std::string& s, std::uint16_t type, const std::string& body) {
    put16(s, type);
    put16(s, static_cast<std::uint16_t>(body.size()));
    s += body;
}
std::string bof(std::uint16_t dt) {
    std::string b;
    put16(b, 0x0600);
    put16(b, dt);
    put16(b, 0x0DBB);
    put16(b, 0x07CC);
    put32(b, 0);
    put32(b, 6);
    return b;
}

// Ends the globals of `s` with one BOUNDSHEET naming the worksheet that
// starts right after them, then starts that worksheet.
void endGlobalsWithOneSheet(std::string& s) {
    const std::string name = "Hoja";
    const std::size_t sheetAt = s.size() + 4 + 8 + name.size() + 4;
    std::string bound;
    put32(bound, static_cast<std::uint32_t>(sheetAt));
    bound += std::string("\0\0", 2);
    bound += static_cast<char>(name.size());
    bound += '\0';
    bound += name;
    record(s, 0x0085, bound);
    record(s, 0x000A, "");
    record(s, 0x0809, bof(0x0010));
}

// A Workbook stream: `emptyStrings` empty shared strings, then one worksheet
// with every cell of rows 65536 down to 1 and columns A to IV, each row as
// one MULRK record or as 256 RK records.
std::string biffStream(std::uint32_t emptyStrings, std::uint32_t rows, bool mulrk) {
    std::string s;
    record(s, 0x0809, bof(0x0005));
    std::string sst;
    put32(sst, emptyStrings);
    put32(sst, emptyStrings);
    bool first = true;
    for (std::uint32_t i = 0; i < emptyStrings; ++i) {
        sst += std::string("\0\0\0", 3);  // count 0, flags 0
        if (sst.size() + 3 > 8224 || i + 1 == emptyStrings) {
            record(s, first ? 0x00FC : 0x003C, sst);
            sst.clear();
            first = false;
        }
    }
    endGlobalsWithOneSheet(s);
    for (std::uint32_t r = rows; r-- > 0;) {
        if (mulrk) {
            std::string b;
            put16(b, static_cast<std::uint16_t>(r));
            put16(b, 0);
            for (std::uint32_t c = 0; c < 256; ++c) {
                put16(b, 0);
                put32(b, ((r + c) % 1000) << 2 | 2);
            }
            put16(b, 255);
            record(s, 0x00BD, b);
        } else {
            for (std::uint32_t c = 0; c < 256; ++c) {
                std::string b;
                put16(b, static_cast<std::uint16_t>(r));
                put16(b, static_cast<std::uint16_t>(c));
                put16(b, 0);
                put32(b, ((r + c) % 1000) << 2 | 2);
                record(s, 0x027E, b);
            }
        }
    }
    record(s, 0x000A, "");
    return s;
}

// A Workbook stream: `count` shared strings of one U+0001 each (no cell uses
// them), `padding` bytes of records no reader needs, then a worksheet with
// one waybill number in E2.
std::string controlStrings(std::uint32_t count, std::size_t padding) {
    std::string s;
    record(s, 0x0809, bof(0x0005));
    std::string sst;
    put32(sst, count);
    put32(sst, count);
    bool first = true;
    for (std::uint32_t i = 0; i < count; ++i) {
        sst += std::string("\1\0\0\1", 4);  // count 1, flags 0, U+0001
        if (sst.size() + 4 > 8224 || i + 1 == count) {
            record(s, first ? 0x00FC : 0x003C, sst);
            sst.clear();
            first = false;
        }
    }
    for (std::size_t done = 0; done < padding; done += 4 + 8000) record(s, 0x00EF, std::string(8000, 'p'));
    endGlobalsWithOneSheet(s);
    std::string rk;
    put16(rk, 1);
    put16(rk, 4);
    put16(rk, 0);
    put32(rk, 10000001u << 2 | 2);
    record(s, 0x027E, rk);
    record(s, 0x000A, "");
    return s;
}

// A compound document (version 4, 4096-byte sectors) holding `stream` as its
// Workbook: the allocation table, one directory sector, then the stream, its
// sectors in order or, `reversed`, last first.
void writeCompoundFile(const std::string& path, const std::string& stream, bool reversed = false) {
    constexpr std::uint32_t kSector = 4096, kEnd = 0xFFFFFFFE, kFatSect = 0xFFFFFFFD, kFree = 0xFFFFFFFF;
    const auto streamSectors = static_cast<std::uint32_t>((stream.size() + kSector - 1) / kSector);
    std::uint32_t fatSectors = 1;
    while ((fatSectors + 1 + streamSectors + 1023) / 1024 > fatSectors) ++fatSectors;
    if (fatSectors > 109) std::exit(1);
    std::string out;
    out += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(16, '\0');
    put16(out, 0x3E);
    put16(out, 4);
    put16(out, 0xFFFE);
    put16(out, 12);
    put16(out, 6);
    out += std::string(6, '\0');
    put32(out, 1);           // directory sectors
    put32(out, fatSectors);
    put32(out, fatSectors);  // first directory sector
    put32(out, 0);
    put32(out, 4096);        // mini stream cutoff
    put32(out, kEnd);
    put32(out, 0);
    put32(out, kEnd);
    put32(out, 0);
    for (std::uint32_t i = 0; i < 109; ++i) put32(out, i < fatSectors ? i : kFree);
    out.resize(kSector, '\0');
    std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors) * 1024, kFree);
    for (std::uint32_t i = 0; i < fatSectors; ++i) fat[i] = kFatSect;
    fat[fatSectors] = kEnd;
    // Logical sector i of the stream sits at position(i).
    const std::uint32_t base = fatSectors + 1;
    const auto position = [&](std::uint32_t i) { return reversed ? base + streamSectors - 1 - i : base + i; };
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        fat[position(i)] = i + 1 < streamSectors ? position(i + 1) : kEnd;
    for (const std::uint32_t v : fat) put32(out, v);
    const auto entry = [&](const std::u16string& name, std::uint8_t type, std::uint32_t child, std::uint32_t start,
                           std::uint64_t size) {
        std::string e;
        for (const char16_t c : name) put16(e, c);
        e.resize(64, '\0');
        put16(e, static_cast<std::uint16_t>((name.size() + 1) * 2));
        e += static_cast<char>(type);
        e += '\1';
        put32(e, kFree);
        put32(e, kFree);
        put32(e, child);
        e.resize(116, '\0');
        put32(e, start);
        put32(e, static_cast<std::uint32_t>(size));
        put32(e, static_cast<std::uint32_t>(size >> 32));
        out += e;
    };
    entry(u"Root Entry", 5, 1, kEnd, 0);
    entry(u"Workbook", 2, kFree, position(0), stream.size());
    out.resize(static_cast<std::size_t>(kSector) * (fatSectors + 2), '\0');
    std::string body = stream;
    if (reversed) {
        body.resize(static_cast<std::size_t>(streamSectors) * kSector, '\0');
        for (std::uint32_t i = 0; i < streamSectors; ++i)
            std::memcpy(&body[static_cast<std::size_t>(position(i) - base) * kSector], stream.data() + std::size_t{i} * kSector,
                        std::min<std::size_t>(kSector, stream.size() - std::size_t{i} * kSector));
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size() ||
        std::fwrite(body.data(), 1, body.size(), f) != body.size() || std::fclose(f) != 0)
        std::exit(1);
}

// ------------------------------------------------------------------ cases

struct Case {
    const char* file;
    const char* what;
    std::function<void(const std::string&)> write;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"tiny-cells.xlsx", "8.9 million one-digit cells in a 128 MiB sheet part", tinyCells},
        {"empty-shared-strings.xlsx", "14 million empty shared strings, 5 million cells using them", emptySharedStrings},
        {"descending-mulrk.xls", "every BIFF8 cell (16.8 million) bottom up in MULRK, 20 million empty shared strings",
         [](const std::string& p) { writeCompoundFile(p, biffStream(20'000'000, 65536, true)); }},
        {"descending-rk.xls", "every BIFF8 cell bottom up in RK records, 5 million empty shared strings (250 MB)",
         [](const std::string& p) { writeCompoundFile(p, biffStream(5'000'000, 65536, false)); }},
        {"descending-within-bound.xls", "10.8 million cells bottom up, 5 million empty shared strings: within the bound",
         [](const std::string& p) { writeCompoundFile(p, biffStream(5'000'000, 42000, true)); }},
        {"fragmented-rk.xls", "descending-rk.xls with the Workbook stream's sectors last first (250 MB)",
         [](const std::string& p) { writeCompoundFile(p, biffStream(5'000'000, 65536, false), true); }},
        {"fragmented-within-bound.xls", "descending-within-bound.xls with the Workbook stream's sectors last first",
         [](const std::string& p) { writeCompoundFile(p, biffStream(5'000'000, 42000, true), true); }},
        {"huge-attribute.xlsx", "one attribute value of 120 MiB in a sheet",
         [](const std::string& p) { hugeAttribute(p, 120u << 20); }},
        {"huge-shared-string.xlsx", "one shared string of 95 MiB (with an _xHHHH_ escape), just within the text bound",
         [](const std::string& p) { hugeSharedString(p, 95u << 20); }},
        {"huge-shared-string-past-bound.xlsx", "one shared string of 120 MiB",
         [](const std::string& p) { hugeSharedString(p, 120u << 20); }},
        {"huge-inline-text.xlsx", "one inline text of 95 MiB (with an _xHHHH_ escape) in a sheet",
         [](const std::string& p) { hugeInlineText(p, 95u << 20); }},
        {"long-consignee-stored.xlsx", "a waybill whose consignee has 90 million characters, parts stored (90 MB)",
         [](const std::string& p) { longConsignee(p, 90'000'000); }},
        {"control-shared-strings.xls", "33 million shared strings of one U+0001, no cell using them (132 MB)",
         [](const std::string& p) { writeCompoundFile(p, controlStrings(33'000'000, 0)); }},
        {"repeated-long-text.xlsx", "3,000 waybills whose six texts are one shared string of 32,767 characters",
         [](const std::string& p) { repeatedLongText(p, 3000); }},
        {"every-row-a-waybill.xlsx", "1,048,575 waybills, only their numbers", everyRowAWaybill},
        {"control-shared-strings-padded.xls", "the same with 112 MB of records no reader needs (244 MB)",
         [](const std::string& p) { writeCompoundFile(p, controlStrings(33'000'000, 112'000'000)); }},
    };
    return all;
}

// The child: opens the workbook through the stand-in, as the program does,
// and reads a corner of it.
int readOne(const char* path) {
    const auto start = std::chrono::steady_clock::now();
    try {
        auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
        excel->Workbooks()->open(QString::fromLocal8Bit(path));
        auto sheet = excel->Workbooks(1)->Worksheets(1);
        double sum = 0;
        for (int row = 1; row <= 1000; ++row)
            for (int col = 1; col <= 12; ++col) sum += static_cast<double>(sheet->Cells(row, col).toText().size());
        excel->Workbooks()->close();
        std::printf("read (checksum %.0f)", sum);
    } catch (const std::exception& e) {
        std::printf("refused: %s", e.what());
    }
    std::printf(" in %.2f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "read") == 0) return readOne(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool withinGoal = true;
    for (const Case& c : cases()) {
        const std::string path = dir + "/" + c.file;
        if (!exists(path)) {
            // Written in a child, so that none of its memory is the reader's.
            const pid_t pid = fork();
            if (pid == 0) {
                c.write(path + ".part");
                std::rename((path + ".part").c_str(), path.c_str());
                _exit(0);
            }
            int status = 0;
            waitpid(pid, &status, 0);
            if (!exists(path)) {
                std::fprintf(stderr, "could not write %s\n", path.c_str());
                return 1;
            }
        }
        struct stat st {};
        stat(path.c_str(), &st);
        std::printf("%s (%.1f MiB): %s\n  ", c.file, static_cast<double>(st.st_size) / 1048576.0, c.what);
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/proc/self/exe", argv[0], "read", path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const bool ok = usage.ru_maxrss <= kGoalKiB;
        withinGoal = withinGoal && ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        std::printf("  peak RSS %.1f MiB (goal at most 512)%s\n", static_cast<double>(usage.ru_maxrss) / 1024.0,
                    ok ? "" : "  OVER THE GOAL");
        std::printf("RESULT case=%s rss_kib=%ld\n", c.file, usage.ru_maxrss);
        std::fflush(stdout);
    }
    return withinGoal ? 0 : 1;
}
