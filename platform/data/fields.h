// Fields and field definitions shared by every dataset of the three access
// kinds and by the memory table.
//
// A dataset owns one TField per column while it is open; a TField reads the
// dataset's current row, so a reference taken from FieldByName() follows
// Next() and stays valid until the dataset closes. Values are kept as
// QVariant: an invalid QVariant is NULL, otherwise qint64, double, bool or
// QString (dates and times as TDateTime doubles, their type telling them apart).
#pragma once

#include "platform/runtime/exception.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <vector>

namespace data {

// An error of a dataset or a connection component (a missing field, a value
// that does not convert, an operation on a closed dataset, a refused name).
class EDatabaseError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// The column types the system names, plus those the drivers report.
enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftLargeint,
    ftBoolean,
    ftFloat,
    ftDate,
    ftTime,
    ftDateTime,
    ftMemo,
    ftBlob,
};

struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;  // characters of a text column; 0 when not known
};

// The field definitions of a dataset, in column order.
class TFieldDefs {
public:
    int Count() const { return static_cast<int>(defs_.size()); }
    const TFieldDef& operator[](int i) const;  // throws rtl::EListError out of range
    void Add(const QString& name, TFieldType type, int size = 0);
    void Clear() { defs_.clear(); }
    // Position of the definition named `name` (case-insensitive), -1 when none.
    int IndexOf(const QString& name) const;
    const QList<TFieldDef>& items() const { return defs_; }

private:
    QList<TFieldDef> defs_;
};

class TDataSet;

// One column of a dataset, reading the dataset's current row.
class TField {
public:
    TField(const TDataSet& owner, int index, TFieldDef def);
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const QString& FieldName() const { return def_.Name; }
    TFieldType DataType() const { return def_.DataType; }
    int Index() const { return index_; }
    bool IsNull() const;
    // The raw value of the current row (invalid QVariant for NULL).
    QVariant Value() const;

    // NULL reads as 0; a value that is no integer of 32 bits raises
    // EDatabaseError naming the field and the value. Floating-point values
    // round to the nearest integer (halves to even).
    std::int32_t AsInteger() const;
    // As AsInteger, 64 bits.
    std::int64_t AsLargeInt() const;
    // NULL reads as the empty text; numbers in the general form with the
    // locale's decimal separator; dates by the short date format.
    QString AsString() const;
    // NULL reads as 0; text must be a number with a point; otherwise raises
    // EDatabaseError naming the field and the value. Dates give day numbers.
    double AsFloat() const;

private:
    [[noreturn]] void conversionError(const QString& what) const;

    const TDataSet& owner_;
    int index_;
    TFieldDef def_;
};

// The fields of an open dataset by position, the first at 0.
class TFields {
public:
    int Count() const { return static_cast<int>(fields_.size()); }
    // Throws rtl::EListError out of range.
    TField& operator[](int i) const;
    // The field named `name` (case-insensitive), nullptr when none.
    TField* Find(const QString& name) const;

    void reset(std::vector<std::unique_ptr<TField>> fields) { fields_ = std::move(fields); }
    void clear() { fields_.clear(); }

private:
    std::vector<std::unique_ptr<TField>> fields_;
};

}  // namespace data
