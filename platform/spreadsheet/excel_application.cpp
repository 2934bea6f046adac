#include "platform/spreadsheet/excel_application.h"

#include "platform/spreadsheet/workbook_reader.h"

#include <algorithm>
#include <optional>

namespace ole {

struct WorkbookState {
    xl::WorkbookData data;
    QString fileName;
    QString sheetName;  // of worksheet 1
    bool closed = false;
};

namespace {

void requireOpen(const WorkbookState& state) {
    if (state.closed)
        throw EOleError(QStringLiteral("El libro \"%1\" ya está cerrado").arg(state.fileName));
}

QString unitCode(char16_t unit) { return QString::number(unit, 16).toUpper().rightJustified(4, u'0'); }

// A text the program cannot take as written. Only a cell read is judged:
// what no one reads may hold anything.
void checkText(const WorkbookState& state, int row, int column, const xl::Cell& cell) {
    const auto refuse = [&](const QString& what) {
        throw EOleError(QStringLiteral("La celda %1 de la hoja «%2» del archivo \"%3\" %4; corríjala en el libro, "
                                       "guárdelo y vuelva a procesarlo")
                            .arg(xl::cellName(row, column), state.sheetName, state.fileName, what));
    };
    if (cell.tooLong)
        refuse(QStringLiteral("tiene un texto de más de %1 caracteres, más de lo que cabe en una celda de Excel")
                   .arg(xl::kMaxCellTextUnits));
    if (const auto unit = xl::unstorableCharacter(cell.text))
        refuse(*unit == 0 ? QStringLiteral("tiene un carácter nulo (U+0000), que no se puede guardar en la base")
                          : QStringLiteral("tiene un carácter dañado (U+%1, la mitad de un par UTF-16), "
                                           "que no se puede guardar en la base")
                                .arg(unitCode(*unit)));
}

}  // namespace

Worksheet::Worksheet(std::shared_ptr<const WorkbookState> state) : state_(std::move(state)) {}

Variant Worksheet::Cells(int row, int column) const {
    requireOpen(*state_);
    if (row < 1 || row > xl::kMaxRows || column < 1 || column > xl::kMaxColumns)
        throw EOleError(QStringLiteral("La celda de la fila %1, columna %2 no existe en una hoja").arg(row).arg(column));
    const std::optional<xl::Cell> cell = state_->data.firstWorksheet.find(row, column);
    if (!cell) return {};
    checkText(*state_, row, column, *cell);
    return Variant::fromCell(*cell);
}

Workbook::Workbook(std::shared_ptr<const WorkbookState> state) : state_(std::move(state)) {}

std::shared_ptr<Worksheet> Workbook::Worksheets(int index) const {
    requireOpen(*state_);
    const auto& tabs = state_->data.sheets;
    // A workbook of chart or dialog sheets only has no worksheet 1; reading
    // it as an empty sheet would pass for a workbook without rows.
    if (std::none_of(tabs.begin(), tabs.end(), [](const xl::SheetInfo& t) { return t.isWorksheet; }))
        throw EOleError(QStringLiteral("El libro \"%1\" no tiene ninguna hoja de cálculo, solo gráficos u otras hojas")
                            .arg(state_->fileName));
    if (index != 1)
        throw EOleError(QStringLiteral("La hoja %1 del libro \"%2\" no está disponible; solo se lee la primera")
                            .arg(index)
                            .arg(state_->fileName));
    return std::make_shared<Worksheet>(state_);
}

void WorkbookCollection::open(const QString& fileName) {
    auto state = std::make_shared<WorkbookState>();
    state->data = xl::readWorkbookFile(fileName);
    state->fileName = fileName;
    const auto& tabs = state->data.sheets;
    const auto first = std::find_if(tabs.begin(), tabs.end(), [](const xl::SheetInfo& t) { return t.isWorksheet; });
    if (first != tabs.end()) state->sheetName = first->name;
    open_.push_back(std::move(state));
}

std::shared_ptr<Workbook> WorkbookCollection::item(int index) const {
    if (index < 1 || index > count())
        throw EOleError(open_.empty() ? QStringLiteral("No hay ningún libro abierto")
                                      : QStringLiteral("No hay un libro número %1 abierto").arg(index));
    return std::make_shared<Workbook>(open_[static_cast<std::size_t>(index - 1)]);
}

void WorkbookCollection::close() {
    for (auto& state : open_) state->closed = true;
    open_.clear();
}

WorkbookCollection::~WorkbookCollection() { close(); }

ExcelApplication::ExcelApplication() : workbooks_(std::make_shared<WorkbookCollection>()) {}

std::shared_ptr<ExcelApplication> CreateOleObject(const QString& progId) {
    if (progId.compare(QStringLiteral("Excel.Application"), Qt::CaseInsensitive) != 0)
        throw EOleError(QStringLiteral("No hay ningún servidor de automatización registrado como \"%1\"").arg(progId));
    return std::make_shared<ExcelApplication>();
}

}  // namespace ole
