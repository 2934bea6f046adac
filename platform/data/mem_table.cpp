#include "platform/data/mem_table.h"

#include <algorithm>

namespace data {

TFDMemTable::~TFDMemTable() { Close(); }

void TFDMemTable::AppendRecord(const TRow& values) {
    if (!Active()) closedError();
    if (values.size() > fieldDefs_.Count())
        throw EDatabaseError(QStringLiteral("La fila tiene %1 valores y la tabla %2 campos")
                                 .arg(values.size())
                                 .arg(fieldDefs_.Count()));
    TRow row = values;
    while (row.size() < fieldDefs_.Count()) row.append(QVariant());
    rows_.push_back(std::move(row));
}

void TFDMemTable::CopyDataSet(TDataSet& source, std::initializer_list<TFDCopyDataSetOption> options) {
    const auto has = [&](TFDCopyDataSetOption o) {
        return std::find(options.begin(), options.end(), o) != options.end();
    };
    if (!source.Active()) closedError();
    if (has(coStructure)) {
        Close();
        rows_.clear();
        fieldDefs_ = source.FieldDefs();
    }
    if (has(coRestart)) source.First();
    Open();
    // Columns are matched by name, so a copy without coStructure fills the
    // fields the two have in common.
    std::vector<int> from;
    const TFieldDefs& mine = fieldDefs_;
    for (int i = 0; i < mine.Count(); ++i) {
        const TField* f = source.FindField(mine[i].Name);
        from.push_back(f ? f->Index() : -1);
    }
    std::vector<TRow> copied;
    for (; !source.Eof(); source.Next()) {
        TRow row;
        for (int idx : from) row.append(idx >= 0 ? source.valueAt(idx) : QVariant());
        copied.push_back(std::move(row));
    }
    if (!has(coAppend)) rows_.clear();
    for (auto& r : copied) rows_.push_back(std::move(r));
    Close();
    Open();
}

void TFDMemTable::doOpen(TFieldDefs& defs) {
    defs = fieldDefs_;
    next_ = 0;
}

bool TFDMemTable::fetchRow(TRow& row) {
    if (next_ >= rows_.size()) return false;
    row = rows_[next_++];
    return true;
}

void TFDMemTable::doClose() {}

}  // namespace data
