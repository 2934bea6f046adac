#include "platform/data/dataset.h"

namespace data {

TDataSet::TDataSet() = default;
TDataSet::~TDataSet() = default;

void TDataSet::SetActive(bool value) {
    if (value) Open();
    else Close();
}

void TDataSet::Open() {
    if (active_) return;
    ahead_.clear();
    current_.clear();
    sourceDone_ = false;
    rowsRead_ = 0;
    TFieldDefs defs;
    doOpen(defs);
    fieldDefs_ = defs;
    std::vector<std::unique_ptr<TField>> fields;
    for (int i = 0; i < fieldDefs_.Count(); ++i)
        fields.push_back(std::make_unique<TField>(*this, i, fieldDefs_[i]));
    fields_.reset(std::move(fields));
    active_ = true;
    try {
        if (readsAllAtOpen()) fetchAll();
        eof_ = !pull(current_);
    } catch (...) {
        Close();
        throw;
    }
}

void TDataSet::Close() {
    if (!active_) return;
    active_ = false;
    eof_ = true;
    fields_.clear();
    ahead_.clear();
    current_.clear();
    doClose();
}

bool TDataSet::pull(TRow& row) {
    if (!ahead_.empty()) {
        row = std::move(ahead_.front());
        ahead_.pop_front();
        ++rowsRead_;
        return true;
    }
    if (sourceDone_) return false;
    TRow next;
    if (!fetchRow(next)) {
        sourceDone_ = true;
        return false;
    }
    row = std::move(next);
    ++rowsRead_;
    return true;
}

void TDataSet::Next() {
    if (!active_) closedError();
    if (eof_) return;
    TRow next;
    if (pull(next)) current_ = std::move(next);
    else eof_ = true;
}

void TDataSet::First() {
    if (!active_) closedError();
    if (canRewind()) {
        ahead_.clear();
        current_.clear();
        rewind();
        sourceDone_ = false;
        rowsRead_ = 0;
        eof_ = !pull(current_);
        return;
    }
    if (rowsRead_ == 0) return;  // empty result
    if (rowsRead_ == 1) {        // the current row is the first
        eof_ = false;
        return;
    }
    Close();
    Open();
}

void TDataSet::fetchAll() {
    while (!sourceDone_) {
        TRow row;
        if (!fetchRow(row)) {
            sourceDone_ = true;
            break;
        }
        ahead_.push_back(std::move(row));
    }
}

int TDataSet::RecordCount() {
    if (!active_) closedError();
    fetchAll();
    return rowsRead_ + static_cast<int>(ahead_.size());
}

TField& TDataSet::FieldByName(const QString& name) const {
    if (TField* f = fields_.Find(name)) return *f;
    throw EDatabaseError(QStringLiteral("No se encontró el campo '%1'").arg(name));
}

TFieldDefs& TDataSet::FieldDefs() {
    if (!active_ && (fieldDefs_.Count() == 0 || fieldDefsOutdated())) {
        fieldDefs_.Clear();
        readFieldDefs(fieldDefs_);
    }
    return fieldDefs_;
}

void TDataSet::GetFieldNames(QStringList& list) {
    list.clear();
    if (fields_.Count() > 0) {
        for (int i = 0; i < fields_.Count(); ++i) list.append(fields_[i].FieldName());
        return;
    }
    const TFieldDefs& defs = FieldDefs();
    for (int i = 0; i < defs.Count(); ++i) list.append(defs[i].Name);
}

QVariant TDataSet::valueAt(int index) const {
    if (!active_ || index < 0 || index >= current_.size()) return {};
    return current_[index];
}

void TDataSet::readFieldDefs(TFieldDefs&) {}

void TDataSet::closedError() const {
    throw EDatabaseError(QStringLiteral("No se puede realizar esta operación con el conjunto de datos cerrado"));
}

}  // namespace data
