// The memory table (FireDAC's TFDMemTable): field definitions and rows held in
// memory, read with the same field access as the query components, and the
// copy of another dataset into it.
#pragma once

#include "platform/data/dataset.h"

#include <initializer_list>
#include <vector>

namespace data {

enum TFDCopyDataSetOption { coStructure, coRestart, coAppend };

class TFDMemTable : public TDataSet {
public:
    TFDMemTable() = default;
    ~TFDMemTable() override;

    // Appends one row (values in field order, missing ones NULL). Throws
    // EDatabaseError when the table is closed or the row has too many values.
    void AppendRecord(const TRow& values);
    // Rows held (also while closed).
    int rowCount() const { return static_cast<int>(rows_.size()); }

    // Copies `source`'s rows: coStructure replaces this table's field
    // definitions (and rows) by the source's columns, coRestart starts from
    // the source's first row, coAppend appends each row. Leaves the table open
    // on its first row and the source after its last. Throws EDatabaseError
    // when the source is closed; the source's errors pass unchanged.
    void CopyDataSet(TDataSet& source, std::initializer_list<TFDCopyDataSetOption> options);

protected:
    void doOpen(TFieldDefs& defs) override;
    bool fetchRow(TRow& row) override;
    void doClose() override;
    bool canRewind() const override { return true; }
    void rewind() override { next_ = 0; }

private:
    std::vector<TRow> rows_;
    std::size_t next_ = 0;
};

// FireDAC's wait-cursor component: the program makes one at start; here it
// does nothing (statements run on the GUI thread without a busy cursor).
class TFDGUIxWaitCursor {
public:
    TFDGUIxWaitCursor() = default;
};

}  // namespace data
