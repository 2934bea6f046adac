#include "platform/spreadsheet/cells.h"

#include <algorithm>

namespace xl {

void SheetData::set(std::int32_t row, std::int32_t column, Cell cell) {
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw ReadError(QStringLiteral("La celda de la fila %1, columna %2 está fuera de los límites de una hoja")
                            .arg(row)
                            .arg(column));
    if (static_cast<std::size_t>(row) > rows_.size()) rows_.resize(static_cast<std::size_t>(row));
    auto& cells = rows_[static_cast<std::size_t>(row - 1)];
    // Readers deliver cells in column order, so appending is the common case.
    if (cells.empty() || cells.back().column < column) {
        cells.push_back(Entry{column, std::move(cell)});
        return;
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Entry& e, std::int32_t c) { return e.column < c; });
    if (it != cells.end() && it->column == column) it->cell = std::move(cell);
    else cells.insert(it, Entry{column, std::move(cell)});
}

const Cell* SheetData::find(std::int32_t row, std::int32_t column) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) return nullptr;
    const auto& cells = rows_[static_cast<std::size_t>(row - 1)];
    auto it = std::lower_bound(cells.begin(), cells.end(), column,
                               [](const Entry& e, std::int32_t c) { return e.column < c; });
    return it != cells.end() && it->column == column ? &it->cell : nullptr;
}

}  // namespace xl
