#include "platform/spreadsheet/cells.h"

#include <algorithm>
#include <utility>

namespace xl {

void SheetData::set(std::int32_t row, std::int32_t column, Cell cell) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw ReadError(QStringLiteral("La celda de la fila %1, columna %2 está fuera de los límites de una hoja")
                            .arg(row)
                            .arg(column));
    bool inOrder = row > lastRow_;
    if (row == lastRow_) {
        const bool rowEmpty = cells_.size() == rowBegin_[static_cast<std::size_t>(lastRow_ - 1)];
        inOrder = rowEmpty || cells_.back().column < column;
    }
    if (inOrder) {
        while (lastRow_ < row) {
            rowBegin_.push_back(static_cast<std::uint32_t>(cells_.size()));
            ++lastRow_;
        }
        cells_.push_back(Entry{column, std::move(cell)});
        return;
    }
    if (Entry* e = findInOrder(row, column)) {
        e->cell = std::move(cell);
        return;
    }
    outOfOrder_[{row, column}] = std::move(cell);
    outOfOrderMaxRow_ = std::max(outOfOrderMaxRow_, row);
}

const SheetData::Entry* SheetData::findInOrder(std::int32_t row, std::int32_t column) const {
    if (row < 1 || row > lastRow_) return nullptr;
    const auto r = static_cast<std::size_t>(row);
    const auto first = cells_.begin() + rowBegin_[r - 1];
    const auto last = r == static_cast<std::size_t>(lastRow_) ? cells_.end() : cells_.begin() + rowBegin_[r];
    const auto it = std::lower_bound(first, last, column, [](const Entry& e, std::int32_t c) { return e.column < c; });
    return it != last && it->column == column ? &*it : nullptr;
}

SheetData::Entry* SheetData::findInOrder(std::int32_t row, std::int32_t column) {
    return const_cast<Entry*>(std::as_const(*this).findInOrder(row, column));
}

const Cell* SheetData::find(std::int32_t row, std::int32_t column) const {
    if (const Entry* e = findInOrder(row, column)) return &e->cell;
    if (outOfOrder_.empty()) return nullptr;
    const auto it = outOfOrder_.find({row, column});
    return it != outOfOrder_.end() ? &it->second : nullptr;
}

std::int32_t SheetData::rowCount() const {
    // lastRow_ only grows when a cell lands in it, so it holds a cell.
    return std::max(lastRow_, outOfOrderMaxRow_);
}

}  // namespace xl
