#include "app/report_model.h"

ReportModel::ReportModel(QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

void ReportModel::setRows(QList<QStringList> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    firstRow_.clear();
    firstRow_.reserve(rows_.size());
    for (int r = 0; r < rows_.size(); ++r) {
        const QString key = rows_[r].value(0);
        if (!firstRow_.contains(key)) firstRow_.insert(key, r);
    }
    endResetModel();
}

QString ReportModel::text(int row, int column) const {
    if (row < 0 || row >= rows_.size()) return {};
    return rows_[row].value(column);
}

int ReportModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[index.column()].alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size()) return {};
    switch (role) {
    case Qt::DisplayRole:
        return columns_[section].caption;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[section].alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
