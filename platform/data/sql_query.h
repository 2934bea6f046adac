// The part the three kinds' query components share: the statement as a list
// of lines (joined, each followed by CR LF), opening it as a dataset on the
// ODBC connection of the attached connection component, and executing it
// without a result.
#pragma once

#include "platform/data/dataset.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace odbc {
class Statement;
}

namespace data {

class TCustomConnection;

class TCustomSQLQuery : public TDataSet {
public:
    TCustomSQLQuery();
    ~TCustomSQLQuery() override;

    // The statement's lines, edited in place by the caller.
    QStringList& SQL() { return sql_; }
    const QStringList& SQL() const { return sql_; }
    // The lines in order, each followed by CR LF.
    QString text() const;

    // Runs the statement, discarding any result; returns the rows affected
    // (-1 when the driver does not say). Throws EDatabaseError without a
    // connection, the driver's odbc::Error when the database rejects it.
    long long ExecSQL();

    // Called by the connection when it closes or goes away.
    void connectionClosing() noexcept;
    void connectionGone() noexcept;

    // Test seam: called with the statement's text just before any query
    // component runs it (open or execute). Empty function: none.
    using StatementHook = std::function<void(const QString& sql)>;
    static void setStatementHookForTesting(StatementHook hook);

protected:
    // Attaches to `connection` (nullptr detaches); closes the dataset.
    void setConnectionBase(TCustomConnection* connection);
    TCustomConnection* connectionBase() const { return connection_; }
    // Rows per fetch for this query; 0 reads all rows at opening.
    virtual int rowsPerFetch() const;

    void doOpen(TFieldDefs& defs) override;
    bool fetchRow(TRow& row) override;
    void doClose() override;
    void readFieldDefs(TFieldDefs& defs) override;
    bool readsAllAtOpen() const override { return rowsPerFetch() == 0; }
    bool fieldDefsOutdated() const override { return defsText_ != text(); }

private:
    TCustomConnection& requireConnection() const;

    QStringList sql_;
    TCustomConnection* connection_ = nullptr;
    std::unique_ptr<odbc::Statement> stmt_;
    QString defsText_;  // the text the cached field definitions belong to
};

}  // namespace data
