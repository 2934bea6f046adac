#include "app/report_view.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Paints each cell without the cell's own focus frame and, in the current row
// of a view that has the focus, the part of the row's frame that falls on it.
class RowFocusDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        cell.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, cell, index);

        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (view == nullptr || !(view->hasFocus() || view->viewport()->hasFocus())) return;
        const QModelIndex current = view->currentIndex();
        if (!current.isValid() || current.row() != index.row() || current.parent() != index.parent()) return;
        const QAbstractItemModel* model = index.model();
        const int lastColumn = model->columnCount(index.parent()) - 1;
        const QRect first = view->visualRect(model->index(index.row(), 0, index.parent()));
        const QRect last = view->visualRect(model->index(index.row(), lastColumn, index.parent()));

        // As the style draws an item's focus frame, over the row's extent.
        QStyleOptionFocusRect frame;
        frame.QStyleOption::operator=(option);
        frame.rect = QRect(QPoint(first.left(), option.rect.top()), QPoint(last.right(), option.rect.bottom()));
        frame.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        const QPalette::ColorGroup group =
            option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
        frame.backgroundColor = option.palette.color(
            group, option.state.testFlag(QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
        QStyle* style = option.widget->style();
        painter->save();
        painter->setClipRect(option.rect);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, option.widget);
        painter->restore();
    }
};

}  // namespace

ReportView::ReportView(QWidget* parent) : QTableView(parent) { setItemDelegate(new RowFocusDelegate(this)); }

void ReportView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    updateRow(previous);
    updateRow(current);
}

void ReportView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    updateRow(currentIndex());
}

void ReportView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    updateRow(currentIndex());
}

void ReportView::updateRow(const QModelIndex& index) {
    if (!index.isValid()) return;
    viewport()->update(QRect(0, rowViewportPosition(index.row()), viewport()->width(), rowHeight(index.row())));
}
