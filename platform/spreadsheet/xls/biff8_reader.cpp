#include "platform/spreadsheet/xls/biff8_reader.h"

#include "platform/spreadsheet/number_format.h"

#include <QHash>
#include <QVarLengthArray>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace xl {
namespace {

// Record types used here.
enum : std::uint16_t {
    kFormula = 0x0006,
    kEof = 0x000A,
    kDateMode = 0x0022,
    kFilePass = 0x002F,
    kContinue = 0x003C,
    kWsBool = 0x0081,
    kBoundSheet = 0x0085,
    kMulRk = 0x00BD,
    kMulBlank = 0x00BE,
    kRString = 0x00D6,
    kXf = 0x00E0,
    kSst = 0x00FC,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
    kNumber = 0x0203,
    kLabel = 0x0204,
    kBoolErr = 0x0205,
    kString = 0x0207,
    kRk = 0x027E,
    kFormat = 0x041E,
    kBof = 0x0809,
    // BOF records of BIFF2, BIFF3 and BIFF4.
    kBofBiff2 = 0x0009,
    kBofBiff3 = 0x0209,
    kBofBiff4 = 0x0409,
};

constexpr std::uint16_t kBiff8 = 0x0600;
// Excel 97-2003 sheets end at column IV; no writer puts cells beyond it, and
// the bound keeps out-of-order cells cheap to place.
constexpr std::uint32_t kBiff8Columns = 256;
constexpr std::uint16_t kGlobalsSubstream = 0x0005;
constexpr std::uint16_t kWorksheetSubstream = 0x0010;

[[noreturn]] void damaged(const char* detail) {
    throw BiffError(BiffError::Kind::Damaged, QString::fromUtf8(detail));
}

std::uint16_t u16At(const char* p) { return qFromLittleEndian<std::uint16_t>(p); }
std::uint32_t u32At(const char* p) { return qFromLittleEndian<std::uint32_t>(p); }
double f64At(const char* p) {
    const std::uint64_t bits = qFromLittleEndian<std::uint64_t>(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double decodeRk(std::uint32_t rk) {
    double v;
    if (rk & 2) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100.0 : v;
}

QString errorText(std::uint8_t code) {
    switch (code) {
    case 0x00: return QStringLiteral("#NULL!");
    case 0x07: return QStringLiteral("#DIV/0!");
    case 0x0F: return QStringLiteral("#VALUE!");
    case 0x17: return QStringLiteral("#REF!");
    case 0x1D: return QStringLiteral("#NAME?");
    case 0x24: return QStringLiteral("#NUM!");
    case 0x2B: return QStringLiteral("#GETTING_DATA");
    default: return QStringLiteral("#N/A");
    }
}

struct Record {
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    const char* data = nullptr;
};

// Walks the records of a stream; every record lies wholly inside it.
class RecordCursor {
public:
    explicit RecordCursor(const QByteArray& stream) : base_(stream.constData()), end_(static_cast<std::size_t>(stream.size())) {}

    void seek(std::size_t pos) {
        if (pos >= end_) damaged("una hoja empieza fuera del flujo del libro");
        pos_ = pos;
    }
    // Reads the next record; false at the end of the stream.
    bool next(Record& r) {
        if (pos_ == end_) return false;
        if (end_ - pos_ < 4) damaged("el último registro está cortado");
        r.type = u16At(base_ + pos_);
        r.size = u16At(base_ + pos_ + 2);
        if (end_ - pos_ - 4 < r.size) damaged("el último registro está cortado");
        r.data = base_ + pos_ + 4;
        pos_ += 4 + static_cast<std::size_t>(r.size);
        return true;
    }
    // The type of the record after the current one, or 0 at the end.
    std::uint16_t peekType() const { return end_ - pos_ >= 4 ? u16At(base_ + pos_) : 0; }

private:
    const char* base_;
    std::size_t end_;
    std::size_t pos_ = 0;
};

// Reads a record's body and the CONTINUE records that follow it as one
// sequence. Character runs that cross into a CONTINUE start it with a fresh
// encoding flag byte; everything else continues byte for byte.
class ContinuedReader {
public:
    ContinuedReader(const Record& first, RecordCursor* cursor) {
        frags_.push_back({first.data, first.size});
        if (!cursor) return;
        Record r;
        while (cursor->peekType() == kContinue && cursor->next(r)) frags_.push_back({r.data, r.size});
    }

    bool exhausted() {
        while (fi_ < static_cast<std::size_t>(frags_.size()) && pos_ == frags_[static_cast<qsizetype>(fi_)].second) {
            ++fi_;
            pos_ = 0;
        }
        return fi_ == static_cast<std::size_t>(frags_.size());
    }
    std::uint8_t u8() {
        if (exhausted()) damaged("un texto está cortado");
        return static_cast<std::uint8_t>(frags_[fi_].first[pos_++]);
    }
    std::uint16_t u16() {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    void skip(std::uint64_t n) {
        while (n > 0) {
            if (exhausted()) damaged("un texto está cortado");
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(n, frags_[fi_].second - pos_));
            pos_ += take;
            n -= take;
        }
    }
    // `count` characters, one or two bytes each as `high` says.
    QString chars(std::uint32_t count, bool high) {
        QString out;
        out.reserve(static_cast<qsizetype>(count));
        while (count > 0) {
            if (fi_ == static_cast<std::size_t>(frags_.size())) damaged("un texto está cortado");
            if (pos_ == frags_[fi_].second) {
                // The run goes on in the next CONTINUE, which restates the encoding.
                if (++fi_ == static_cast<std::size_t>(frags_.size())) damaged("un texto está cortado");
                pos_ = 0;
                if (frags_[fi_].second == 0) damaged("un texto está cortado");
                high = (frags_[fi_].first[pos_++] & 1) != 0;
                continue;
            }
            const char* p = frags_[fi_].first + pos_;
            const std::size_t avail = frags_[fi_].second - pos_;
            const std::size_t width = high ? 2 : 1;
            const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(count, avail / width));
            if (n == 0) damaged("un texto está partido a mitad de un carácter");
            if (high) {
                const qsizetype base = out.size();
                out.resize(base + n);
                QChar* dst = out.data() + base;
                for (std::uint32_t i = 0; i < n; ++i) dst[i] = QChar(u16At(p + 2 * i));
            } else {
                out.append(QLatin1StringView(p, static_cast<qsizetype>(n)));
            }
            pos_ += n * width;
            count -= n;
        }
        return out;
    }
    // A string with a 16-bit count and its flag byte; rich-text runs and
    // phonetic data are skipped when the flags announce them.
    QString unicodeString() {
        const std::uint16_t count = u16();
        return flaggedChars(count);
    }
    QString shortUnicodeString() {
        const std::uint8_t count = u8();
        return flaggedChars(count);
    }

private:
    QString flaggedChars(std::uint32_t count) {
        const std::uint8_t flags = u8();
        const std::uint16_t runs = (flags & 0x08) ? u16() : 0;
        const std::uint32_t ext = (flags & 0x04) ? u32() : 0;
        QString s = chars(count, (flags & 0x01) != 0);
        skip(4ull * runs);
        skip(ext);
        return s;
    }

    // Most texts fit in their own record: no heap allocation for them.
    QVarLengthArray<std::pair<const char*, std::size_t>, 4> frags_;
    std::size_t fi_ = 0;
    std::size_t pos_ = 0;
};

struct SheetEntry {
    std::uint32_t offset = 0;
    std::uint8_t type = 0;  // 0 worksheet or dialog, 1 macro sheet, 2 chart, 6 VB module
};

class WorkbookParser {
public:
    WorkbookParser(const QByteArray& stream, std::size_t maxSheetBytes)
        : cursor_(stream), sheetBudget_(static_cast<std::size_t>(stream.size())) {
        book_.firstWorksheet = SheetData(maxSheetBytes);
    }

    WorkbookData parse() {
        readGlobals();
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!book_.sheets[i].isWorksheet) continue;
            if (readSheet(entries_[i].offset)) break;
            book_.sheets[i].isWorksheet = false;  // a dialog sheet
            book_.firstWorksheet.clearCells();    // the shared strings stay
        }
        book_.firstWorksheet.finish();
        return std::move(book_);
    }

private:
    static void checkBof(const Record& r, std::uint16_t& substream) {
        if (r.type == kBofBiff2 || r.type == kBofBiff3 || r.type == kBofBiff4)
            throw BiffError(BiffError::Kind::TooOld, QString());
        if (r.type != kBof) damaged("no empieza con un registro de comienzo");
        if (r.size < 4) damaged("su registro de comienzo está cortado");
        const std::uint16_t version = u16At(r.data);
        if (version < kBiff8) throw BiffError(BiffError::Kind::TooOld, QString());
        if (version != kBiff8) damaged("declara una versión de formato desconocida");
        substream = u16At(r.data + 2);
    }

    void readGlobals() {
        Record r;
        if (!cursor_.next(r)) damaged("el flujo del libro está vacío");
        std::uint16_t substream = 0;
        checkBof(r, substream);
        if (substream != kGlobalsSubstream) damaged("no empieza con los datos generales del libro");
        bool ended = false;
        while (!ended && cursor_.next(r)) {
            switch (r.type) {
            case kEof: ended = true; break;
            case kFilePass: throw BiffError(BiffError::Kind::Encrypted, QString());
            case kDateMode:
                if (r.size >= 2) date1904_ = u16At(r.data) != 0;
                break;
            case kFormat: {
                if (r.size < 2) damaged("un formato de número está cortado");
                const std::uint16_t id = u16At(r.data);
                Record body{r.type, static_cast<std::uint16_t>(r.size - 2), r.data + 2};
                ContinuedReader reader(body, nullptr);
                formats_.insert(id, reader.unicodeString());
                break;
            }
            case kXf:
                if (r.size < 4) damaged("un formato de celda está cortado");
                xfFormat_.push_back(u16At(r.data + 2));
                break;
            case kSst: readSst(r); break;
            case kBoundSheet: readBoundSheet(r); break;
            default: break;
            }
        }
        if (!ended) damaged("los datos generales del libro están cortados");
        xfShown_.reserve(xfFormat_.size());
        for (const std::uint16_t id : xfFormat_) {
            const auto it = formats_.constFind(id);
            xfShown_.push_back(it != formats_.constEnd() ? numberShownByCode(*it) : builtinNumberShown(id));
        }
    }

    void readSst(const Record& r) {
        if (r.size < 8) damaged("la tabla de textos compartidos está cortada");
        const std::uint32_t unique = u32At(r.data + 4);
        Record body{r.type, static_cast<std::uint16_t>(r.size - 8), r.data + 8};
        ContinuedReader reader(body, &cursor_);
        // The strings go into the sheet's text pool as texts 0, 1, ..., each
        // as the workbook holds it.
        SheetData& pool = book_.firstWorksheet;
        for (std::uint32_t i = 0; i < unique && !reader.exhausted(); ++i) {
            pool.addText(reader.unicodeString());
            ++sstCount_;
        }
    }

    void readBoundSheet(const Record& r) {
        if (r.size < 8) damaged("la lista de hojas está cortada");
        SheetEntry e;
        e.offset = u32At(r.data);
        e.type = static_cast<std::uint8_t>(r.data[5]);
        Record body{r.type, static_cast<std::uint16_t>(r.size - 6), r.data + 6};
        ContinuedReader reader(body, nullptr);
        SheetInfo info;
        info.name = reader.shortUnicodeString();
        info.isWorksheet = e.type == 0;
        book_.sheets.push_back(std::move(info));
        entries_.push_back(e);
    }

    // Reads the substream at `offset` into book_.firstWorksheet. Returns
    // false when it turns out not to be a worksheet (a dialog sheet).
    bool readSheet(std::uint32_t offset) {
        cursor_.seek(offset);
        Record r;
        if (!cursor_.next(r)) damaged("una hoja empieza fuera del flujo del libro");
        std::uint16_t substream = 0;
        checkBof(r, substream);
        if (substream != kWorksheetSubstream) return false;
        int depth = 0;  // embedded chart substreams nest their own BOF..EOF
        pendingString_ = false;
        while (cursor_.next(r)) {
            // Sound substreams do not overlap, so reading them all takes at
            // most the stream's size; tabs that point into each other would
            // otherwise make the reading quadratic.
            const std::size_t cost = 4u + r.size;
            if (cost > sheetBudget_) damaged("sus hojas se solapan");
            sheetBudget_ -= cost;
            if (r.type == kBof) {
                ++depth;
                continue;
            }
            if (r.type == kEof) {
                if (depth == 0) return true;
                --depth;
                continue;
            }
            if (depth > 0) continue;
            if (r.type == kWsBool && r.size >= 1 && (r.data[0] & 0x10)) return false;
            readCellRecord(r);
        }
        damaged("una hoja está cortada");
    }

    void put(std::uint16_t row, std::uint16_t col, const Cell& cell) {
        if (col >= kBiff8Columns) damaged("una celda está más allá de la columna IV");
        book_.firstWorksheet.set(static_cast<std::int32_t>(row) + 1, static_cast<std::int32_t>(col) + 1, cell);
    }

    void putText(std::uint16_t row, std::uint16_t col, const QString& text) { put(row, col, textCell(text)); }

    Cell numberCell(double value, std::uint16_t xf) const {
        // Excel never stores infinities or NaN; one would end up in the database.
        if (!std::isfinite(value)) damaged("una celda tiene un número no válido");
        return xl::numberCell(value, xf < xfShown_.size() ? xfShown_[xf] : NumberShown::Plain, date1904_);
    }

    static Cell textCell(QString text) {
        Cell c;
        c.kind = CellKind::Text;
        c.text = std::move(text);
        return c;
    }

    static void need(const Record& r, std::size_t size) {
        if (r.size < size) damaged("un registro de celda está cortado");
    }

    void readCellRecord(const Record& r) {
        switch (r.type) {
        case kLabelSst: {
            need(r, 10);
            const std::uint32_t index = u32At(r.data + 6);
            if (index >= sstCount_) damaged("una celda se refiere a un texto compartido que no existe");
            const std::uint16_t row = u16At(r.data), col = u16At(r.data + 2);
            if (col >= kBiff8Columns) damaged("una celda está más allá de la columna IV");
            book_.firstWorksheet.setText(row + 1, col + 1, CellKind::Text, index);
            break;
        }
        case kLabel:
        case kRString: {
            need(r, 8);
            Record body{r.type, static_cast<std::uint16_t>(r.size - 6), r.data + 6};
            ContinuedReader reader(body, &cursor_);
            putText(u16At(r.data), u16At(r.data + 2), labelText(reader));
            break;
        }
        case kNumber:
            need(r, 14);
            put(u16At(r.data), u16At(r.data + 2), numberCell(f64At(r.data + 6), u16At(r.data + 4)));
            break;
        case kRk:
            need(r, 10);
            put(u16At(r.data), u16At(r.data + 2), numberCell(decodeRk(u32At(r.data + 6)), u16At(r.data + 4)));
            break;
        case kMulRk: {
            need(r, 6);
            const std::uint16_t row = u16At(r.data);
            const std::uint32_t first = u16At(r.data + 2);
            const std::size_t count = (r.size - 6u) / 6u;
            for (std::size_t i = 0; i < count; ++i) {
                const char* p = r.data + 4 + 6 * i;
                if (first + i >= kBiff8Columns) damaged("una celda está más allá de la columna IV");
                put(row, static_cast<std::uint16_t>(first + i), numberCell(decodeRk(u32At(p + 2)), u16At(p)));
            }
            break;
        }
        case kBoolErr: {
            need(r, 8);
            Cell c;
            if (r.data[7] != 0) {
                c.kind = CellKind::Error;
                c.text = errorText(static_cast<std::uint8_t>(r.data[6]));
            } else {
                c.kind = CellKind::Boolean;
                c.number = r.data[6] != 0 ? 1 : 0;
            }
            put(u16At(r.data), u16At(r.data + 2), c);
            break;
        }
        case kFormula: readFormula(r); break;
        case kString: {
            ContinuedReader reader(r, &cursor_);
            const QString text = labelText(reader);
            if (pendingString_) {
                pendingString_ = false;
                putText(pendingRow_, pendingCol_, text);
            }
            break;
        }
        case kBlank:
        case kMulBlank:
        default: break;  // blanks hold only formatting: the cell reads as empty
        }
    }

    // The XLUnicodeString of LABEL and STRING: 16-bit count and flag byte,
    // the flag byte naming only the encoding.
    static QString labelText(ContinuedReader& reader) {
        const std::uint16_t count = reader.u16();
        const std::uint8_t flags = reader.u8();
        return reader.chars(count, (flags & 0x01) != 0);
    }

    void readFormula(const Record& r) {
        need(r, 20);
        const std::uint16_t row = u16At(r.data);
        const std::uint16_t col = u16At(r.data + 2);
        const char* result = r.data + 6;
        pendingString_ = false;
        if (u16At(result + 6) != 0xFFFF) {
            put(row, col, numberCell(f64At(result), u16At(r.data + 4)));
            return;
        }
        Cell c;
        switch (static_cast<std::uint8_t>(result[0])) {
        case 0:  // the text follows in a STRING record
            c = textCell(QString());
            pendingString_ = true;
            pendingRow_ = row;
            pendingCol_ = col;
            break;
        case 1:
            c.kind = CellKind::Boolean;
            c.number = result[2] != 0 ? 1 : 0;
            break;
        case 2:
            c.kind = CellKind::Error;
            c.text = errorText(static_cast<std::uint8_t>(result[2]));
            break;
        default:  // 3: the empty text
            c = textCell(QString());
            break;
        }
        put(row, col, c);
    }

    RecordCursor cursor_;
    WorkbookData book_;
    std::vector<SheetEntry> entries_;
    std::uint32_t sstCount_ = 0;  // shared strings: texts 0 .. sstCount_ - 1 of the pool
    QHash<std::uint16_t, QString> formats_;
    std::vector<std::uint16_t> xfFormat_;
    std::vector<NumberShown> xfShown_;  // how each cell format shows a number
    std::size_t sheetBudget_;  // bytes the sheet substreams may still take
    bool date1904_ = false;
    bool pendingString_ = false;
    std::uint16_t pendingRow_ = 0, pendingCol_ = 0;
};

}  // namespace

WorkbookData parseBiff8Workbook(const QByteArray& stream, std::size_t maxSheetBytes) {
    return WorkbookParser(stream, maxSheetBytes).parse();
}

}  // namespace xl
