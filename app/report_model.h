// The rows of the main window's report-style list view.
//
// A read-only table of texts, one row per waybill: the first column is the
// row's caption, the others its sub-items. Filled in one go (setRows), so the
// view redraws once however many rows there are; looks a caption up without
// walking the rows, which keeps the progress mark of a long save cheap.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ReportModel : public QAbstractTableModel {
public:
    struct Column {
        QString caption;
        int width = 0;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    explicit ReportModel(QList<Column> columns, QObject* parent = nullptr);

    // Replaces every row. Each row holds one text per column (missing ones read
    // as empty). Views see a single reset.
    void setRows(QList<QStringList> rows);
    // Removes every row.
    void clear() { setRows({}); }

    const QList<Column>& columns() const { return columns_; }
    // The caption (first column) of `row`; requires 0 <= row < rowCount().
    QString caption(int row) const { return rows_[row].value(0); }
    // The text of (row, column); empty outside the table.
    QString text(int row, int column) const;
    // The first row whose caption equals `caption` exactly, or -1.
    int findCaption(const QString& caption) const { return firstRow_.value(caption, -1); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QList<Column> columns_;
    QList<QStringList> rows_;
    QHash<QString, int> firstRow_;
};
