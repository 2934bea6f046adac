// The in-process stand-in for the spreadsheet application's automation
// server "Excel.Application": just the objects and calls the workbook
// reading makes, in its order:
//
//   auto excel = ole::CreateOleObject(QStringLiteral("Excel.Application"));
//   excel->setVisible(false);
//   excel->Workbooks()->open(fileName);            // throws xl::ReadError
//   auto sheet = excel->Workbooks(1)->Worksheets(1);
//   ole::Variant v = sheet->Cells(row, column);    // both from 1
//   excel->Workbooks()->close();
//
// Objects are reference-counted handles (std::shared_ptr): each is released
// when its last handle goes, on every road, and a handle kept past close()
// refuses further use instead of reading freed data. There is no window, so
// the application stays invisible whatever `visible` is set to.
#pragma once

#include "platform/runtime/exception.h"
#include "platform/spreadsheet/cells.h"
#include "platform/spreadsheet/variant.h"

#include <QString>
#include <memory>
#include <vector>

namespace ole {

// A call the automation server refuses (unknown program id, an index out of
// range, a closed workbook).
class EOleError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

struct WorkbookState;

class Worksheet {
public:
    explicit Worksheet(std::shared_ptr<const WorkbookState> state);
    // The value of the cell; empty for an empty cell. Requires
    // 1 <= row <= 1048576 and 1 <= column <= 16384 and the workbook still
    // open (EOleError otherwise). A text or error value the program cannot
    // take as written raises EOleError naming the cell, the sheet and the
    // file: one longer than xl::kMaxCellTextUnits, or one holding a
    // character no database stores (xl::unstorableCharacter). Every other
    // text comes as the workbook holds it.
    Variant Cells(int row, int column) const;

private:
    std::shared_ptr<const WorkbookState> state_;
};

class Workbook {
public:
    explicit Workbook(std::shared_ptr<const WorkbookState> state);
    // Worksheet 1 is the first worksheet in tab order (chart sheets and other
    // kinds of sheet are not worksheets; hidden worksheets are). Only that
    // one is served: any other index, a workbook with no worksheet at all, or
    // a closed workbook, raises EOleError.
    std::shared_ptr<Worksheet> Worksheets(int index) const;

private:
    std::shared_ptr<const WorkbookState> state_;
};

class WorkbookCollection {
public:
    // Opens the workbook file `fileName` (format told by content) and adds it
    // to the collection. Throws xl::ReadError with the reason, naming the file.
    void open(const QString& fileName);
    // The index-th workbook opened, from 1 (EOleError outside 1..count()).
    std::shared_ptr<Workbook> item(int index) const;
    int count() const { return static_cast<int>(open_.size()); }
    // Closes every open workbook; handles still held then refuse use.
    void close();

    ~WorkbookCollection();

private:
    std::vector<std::shared_ptr<WorkbookState>> open_;
};

class ExcelApplication {
public:
    ExcelApplication();
    void setVisible(bool visible) { visible_ = visible; }
    // Always false: the stand-in has no window to show.
    bool visible() const { return false; }
    // The one workbook collection of this application.
    std::shared_ptr<WorkbookCollection> Workbooks() const { return workbooks_; }
    // Workbooks()->item(index).
    std::shared_ptr<Workbook> Workbooks(int index) const { return workbooks_->item(index); }

private:
    bool visible_ = false;
    std::shared_ptr<WorkbookCollection> workbooks_;
};

// Creates the automation object registered under `progId` (compared without
// regard to case, as program ids are). Only "Excel.Application" is
// registered; any other id throws EOleError.
std::shared_ptr<ExcelApplication> CreateOleObject(const QString& progId);

}  // namespace ole
