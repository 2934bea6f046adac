// The main window's report-style list view with whole-row selection.
//
// A table view marks its current item with a focus frame on that one cell;
// a whole-row report marks the whole row instead: the frame runs round every
// cell of the current row, and moves with it. The selection is a thing apart
// and is not touched.
#pragma once

#include <QTableView>

class ReportView : public QTableView {
public:
    explicit ReportView(QWidget* parent = nullptr);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The cell views repaint on a change of the current item or of the focus
    // is the current one only; the row's mark needs the whole row.
    void updateRow(const QModelIndex& index);
};
