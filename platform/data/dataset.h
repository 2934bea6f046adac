// The dataset surface shared by the three kinds' query components and the
// memory table: open and close, a forward cursor (Eof, Next), fields by name
// and by position, field definitions and the row count.
//
// A subclass supplies the rows: doOpen() sets the field definitions and makes
// the rows ready, fetchRow() hands them over one at a time, doClose() lets go
// of them. Rows read ahead (for RecordCount) are buffered here, so counting
// never moves the current row.
#pragma once

#include "platform/data/fields.h"

#include <QStringList>
#include <QVariant>
#include <deque>

namespace data {

using TRow = QVariantList;

class TDataSet {
public:
    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    bool Active() const { return active_; }
    // Open() or Close().
    void SetActive(bool value);
    // Opens and stands on the first row (Eof when there is none). Throws what
    // the subclass raises (the driver's error for a rejected statement); the
    // dataset then stays closed. Opening an open dataset does nothing.
    void Open();
    void Close();

    // True while closed, right after opening an empty result and after Next()
    // on the last row.
    bool Eof() const { return !active_ || eof_; }
    // Moves to the next row; at the end Eof() becomes true. Throws
    // EDatabaseError when closed.
    void Next();
    // Back to the first row. A forward-only source runs its statement again
    // when it has moved past the first row. Throws EDatabaseError when closed.
    void First();

    // Throws EDatabaseError naming the field when the dataset has none of that
    // name (names compare without regard to case).
    TField& FieldByName(const QString& name) const;
    TField* FindField(const QString& name) const { return fields_.Find(name); }
    TFields& Fields() { return fields_; }
    const TFields& Fields() const { return fields_; }
    // The definitions of the result's columns: those of the last opening, or,
    // when there are none yet, as readFieldDefs() reads them.
    TFieldDefs& FieldDefs();
    // Replaces `list` with the names of the fields or, while there are none,
    // of the field definitions.
    void GetFieldNames(QStringList& list);
    // The number of rows of the result; leaves the current row as it is.
    // Throws EDatabaseError when closed.
    int RecordCount();

    // The current row's value at `index` (invalid when there is no row).
    QVariant valueAt(int index) const;

protected:
    // Fill `defs` with the result's columns and make rows ready.
    virtual void doOpen(TFieldDefs& defs) = 0;
    // The next row; false when there is no more.
    virtual bool fetchRow(TRow& row) = 0;
    virtual void doClose() = 0;
    // Field definitions without opening; the default leaves them empty.
    virtual void readFieldDefs(TFieldDefs& defs);
    // Whether the kept definitions belong to another statement than the
    // current one; the default says no.
    virtual bool fieldDefsOutdated() const { return false; }
    // Whether every row is read into memory at opening (a client cursor).
    virtual bool readsAllAtOpen() const { return false; }
    // Whether First() can rewind without running the source again.
    virtual bool canRewind() const { return false; }
    virtual void rewind() {}
    // Read every row still in the source into the read-ahead buffer.
    void fetchAll();
    [[noreturn]] void closedError() const;

    TFieldDefs fieldDefs_;

private:
    bool pull(TRow& row);

    bool active_ = false;
    bool eof_ = true;
    TRow current_;
    std::deque<TRow> ahead_;
    bool sourceDone_ = false;
    int rowsRead_ = 0;
    TFields fields_;
};

}  // namespace data
