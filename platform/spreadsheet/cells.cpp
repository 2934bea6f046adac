#include "platform/spreadsheet/cells.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace xl {

namespace {

std::uint64_t numberBits(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double bitsNumber(std::uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool isTextKind(CellKind kind) { return kind == CellKind::Text || kind == CellKind::Error; }

}  // namespace

SheetData::SheetData(std::size_t maxBytes)
    : maxBytes_(std::min(maxBytes, (std::size_t{1} << 32) - 1)) {}  // keeps kTooLongMark free

void SheetData::tooLarge() const {
    throw SheetTooLarge(QStringLiteral("sus celdas y textos ocupan más de %1 MiB en memoria; "
                                       "el archivo es demasiado grande o está manipulado")
                            .arg(maxBytes_ >> 20));
}

void SheetData::charge(std::size_t bytes) {
    if (bytes > maxBytes_ - usedBytes_) tooLarge();
    usedBytes_ += bytes;
}

void SheetData::checkTextRoom(std::size_t units) const {
    if (units > (maxBytes_ - usedBytes_) / sizeof(char16_t)) tooLarge();
}

SheetData::TextId SheetData::addText(QStringView text) {
    const auto units = static_cast<std::size_t>(text.size());
    if (units > kMaxCellTextUnits) return addTooLongText();
    checkTextRoom(units);
    const std::size_t at = textUnits_.size();
    textUnits_.resize(at + units);
    if (units > 0) std::memcpy(textUnits_.data() + at, text.utf16(), units * sizeof(char16_t));
    return endText(at, units);
}

SheetData::TextId SheetData::addTooLongText() {
    charge(sizeof(std::uint32_t));
    textEnds_.push_back(static_cast<std::uint32_t>(textUnits_.size()) | kTooLongMark);
    return static_cast<TextId>(textEnds_.size() - 1);
}

SheetData::TextId SheetData::endText(std::size_t at, std::size_t units) {
    // Written at `at`; only `units` of them stay, and only if they fit.
    textUnits_.resize(at);
    if (units > kMaxCellTextUnits) return addTooLongText();
    const std::size_t bytes = units * sizeof(char16_t) + sizeof(std::uint32_t);
    if (bytes > maxBytes_ - usedBytes_) tooLarge();
    textEnds_.push_back(static_cast<std::uint32_t>(at + units));
    textUnits_.resize(at + units);
    usedBytes_ += bytes;
    return static_cast<TextId>(textEnds_.size() - 1);
}

QStringView SheetData::text(TextId id) const {
    const std::size_t begin = id == 0 ? 0 : endOf(textEnds_[id - 1]);
    return {textUnits_.data() + begin, static_cast<qsizetype>(endOf(textEnds_[id]) - begin)};
}

void SheetData::checkPosition(std::int32_t row, std::int32_t column) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw ReadError(QStringLiteral("La celda de la fila %1, columna %2 está fuera de los límites de una hoja")
                            .arg(row)
                            .arg(column));
}

void SheetData::append(std::int32_t row, std::int32_t column, CellKind kind, std::uint64_t value) {
    checkPosition(row, column);
    const std::uint64_t pos = static_cast<std::uint64_t>(row - 1) << 14 | static_cast<std::uint64_t>(column - 1);
    finished_ = false;
    if (!cells_.empty() && inOrder_) {
        const std::uint64_t last = position(cells_.back());
        if (pos == last) {  // the same cell again: the last value holds
            cells_.back() = Entry{(cells_.back().key & ~std::uint64_t{7}) | static_cast<std::uint64_t>(kind), value};
            return;
        }
        if (pos < last) inOrder_ = false;
    }
    if (order_ > kMaxOrder) tooLarge();
    charge(sizeof(Entry));
    cells_.push_back(Entry{pos << kPositionShift | order_++ << 3 | static_cast<std::uint64_t>(kind), value});
}

void SheetData::set(std::int32_t row, std::int32_t column, const Cell& cell) {
    if (isTextKind(cell.kind)) {
        checkPosition(row, column);  // before the text goes into the pool
        const TextId id = addText(cell.text);
        append(row, column, cell.kind, id);
    } else {
        append(row, column, cell.kind, numberBits(cell.number));
    }
}

void SheetData::setText(std::int32_t row, std::int32_t column, CellKind kind, TextId text) {
    append(row, column, isTextKind(kind) ? kind : CellKind::Text, text);
}

void SheetData::finish() {
    if (finished_) return;
    if (!inOrder_) {
        // Sorting by the whole key orders by position and, within a position,
        // by the order of setting; of each run of one position the last stays.
        std::sort(cells_.begin(), cells_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        std::size_t kept = 0;
        for (std::size_t i = 0; i < cells_.size(); ++i) {
            if (kept > 0 && position(cells_[kept - 1]) == position(cells_[i])) --kept;
            cells_[kept++] = cells_[i];
        }
        cells_.resize(kept);
        inOrder_ = true;
    }
    rowBegin_.clear();
    const std::int32_t rows = cells_.empty() ? 0 : static_cast<std::int32_t>(position(cells_.back()) >> 14) + 1;
    rowBegin_.reserve(static_cast<std::size_t>(rows) + 1);
    std::size_t i = 0;
    for (std::int32_t r = 0; r < rows; ++r) {
        rowBegin_.push_back(static_cast<std::uint32_t>(i));
        while (i < cells_.size() && static_cast<std::int32_t>(position(cells_[i]) >> 14) == r) ++i;
    }
    rowBegin_.push_back(static_cast<std::uint32_t>(cells_.size()));
    finished_ = true;
}

void SheetData::clearCells() {
    usedBytes_ -= cells_.size() * sizeof(Entry);
    cells_ = {};
    rowBegin_.clear();
    order_ = 0;
    inOrder_ = finished_ = true;
}

std::optional<Cell> SheetData::find(std::int32_t row, std::int32_t column) const {
    if (!finished_) throw std::logic_error("SheetData::find before finish");
    if (row < 1 || column < 1 || column > kMaxColumns || static_cast<std::size_t>(row) >= rowBegin_.size()) return {};
    const std::uint64_t want = static_cast<std::uint64_t>(row - 1) << 14 | static_cast<std::uint64_t>(column - 1);
    const Entry* first = cells_.data() + rowBegin_[static_cast<std::size_t>(row - 1)];
    const Entry* last = cells_.data() + rowBegin_[static_cast<std::size_t>(row)];
    const Entry* it = std::lower_bound(first, last, want, [](const Entry& e, std::uint64_t p) { return position(e) < p; });
    if (it == last || position(*it) != want) return {};
    Cell cell;
    cell.kind = static_cast<CellKind>(it->key & 7);
    if (isTextKind(cell.kind)) {
        const auto id = static_cast<TextId>(it->value);
        cell.text = text(id).toString();
        cell.tooLong = isTooLong(id);
    } else {
        cell.number = bitsNumber(it->value);
    }
    return cell;
}

std::int32_t SheetData::rowCount() const {
    if (cells_.empty()) return 0;
    if (inOrder_) return static_cast<std::int32_t>(position(cells_.back()) >> 14) + 1;
    std::uint64_t top = 0;
    for (const Entry& e : cells_) top = std::max(top, position(e));
    return static_cast<std::int32_t>(top >> 14) + 1;
}

QString cellName(std::int32_t row, std::int32_t column) {
    QString letters;
    while (column > 0) {
        const int rem = (column - 1) % 26;
        letters.prepend(QChar(u'A' + rem));
        column = (column - 1) / 26;
    }
    return letters + QString::number(row);
}

std::optional<char16_t> unstorableCharacter(QStringView text) {
    const char16_t* p = text.utf16();
    const auto n = static_cast<std::size_t>(text.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (u == 0) return u;
        if (u < 0xD800 || u >= 0xE000) continue;  // nearly every character
        if (u < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] < 0xE000) {
            ++i;  // a high surrogate and its low one
            continue;
        }
        return u;  // a high surrogate alone, or a low one without its high one before it
    }
    return std::nullopt;
}

}  // namespace xl
