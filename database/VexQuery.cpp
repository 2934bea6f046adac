#include "database/VexQuery.h"

#include "platform/runtime/strings.h"

TVexQuery::TVexQuery(DBConn& Db) : Database(&Db) {
    switch (Db.tipo) {
    case BDAdo:
        consAdo = std::make_unique<data::TADOQuery>();
        consAdo->SetConnection(Db.ADODB());
        consAdo->LockType = data::ltReadOnly;
        consAdo->CursorType = data::ctOpenForwardOnly;
        consAdo->CursorLocation = data::clUseClient;
        consAdo->ParamCheck = false;
        Tipo = BDAdo;
        break;
    case BDSqlConn:
        ConsSql = std::make_unique<data::TSQLQuery>();
        ConsSql->SetSQLConnection(Db.SQLDB());
        Tipo = BDSqlConn;
        break;
    case BDFireDac:
        ConsFDc = std::make_unique<data::TFDQuery>();
        ConsFDc->SetConnection(Db.FDCDB());
        ConsFDc->FetchOptions.CursorKind = data::ckForwardOnly;
        ConsFDc->FetchOptions.Unidirectional = true;
        ConsFDc->ObjectView = false;
        ConsFDcRecordCount = std::make_unique<data::TFDQuery>();
        ConsFDcRecordCount->SetConnection(Db.FDCDB());
        Tipo = BDFireDac;
        break;
    case BDParadox:
    case BDBDE:
    case BDUnDefined:
        // No dataset: Tipo reads BDAdo and every dataset operation raises.
        break;
    }
    TDriver = Db.TipoMotor;
}

TVexQuery::TVexQuery(data::TADOConnection& Db) : Tipo(BDAdo) {
    consAdo = std::make_unique<data::TADOQuery>();
    consAdo->SetConnection(&Db);
    consAdo->LockType = data::ltReadOnly;
    consAdo->CursorType = data::ctOpenForwardOnly;
    consAdo->CursorLocation = data::clUseClient;
    consAdo->ParamCheck = false;
}

TVexQuery::TVexQuery(data::TSQLConnection& Db) : Tipo(BDSqlConn) {
    ConsSql = std::make_unique<data::TSQLQuery>();
    ConsSql->SetSQLConnection(&Db);
}

TVexQuery::TVexQuery(data::TFDConnection& Db) : Tipo(BDFireDac) {
    ConsFDc = std::make_unique<data::TFDQuery>();
    ConsFDc->SetConnection(&Db);
    ConsFDc->FetchOptions.CursorKind = data::ckAutomatic;
    ConsFDc->FetchOptions.Unidirectional = true;
    ConsFDc->FetchOptions.AutoClose = true;
    ConsFDc->IndexesActive = false;
    ConsFDcRecordCount = std::make_unique<data::TFDQuery>();
    ConsFDcRecordCount->SetConnection(&Db);
    ConsFDcRecordCount->FetchOptions.CursorKind = data::ckAutomatic;
}

TVexQuery::~TVexQuery() {
    consAdo.reset();
    ConsSql.reset();
    ConsFDc.reset();
    ConsFDcRecordCount.reset();
    FParams.clear();
}

data::TCustomSQLQuery& TVexQuery::dataset() const {
    if (consAdo) return *consAdo;
    if (ConsSql) return *ConsSql;
    if (ConsFDc) return *ConsFDc;
    throw data::EDatabaseError(QStringLiteral(
        "La consulta no tiene conjunto de datos: su conexión no está conectada por ADO, dbExpress ni FireDAC"));
}

data::TDataSet* TVexQuery::Dataset() const {
    if (consAdo) return consAdo.get();
    if (ConsSql) return ConsSql.get();
    if (ConsFDc) return ConsFDc.get();
    return nullptr;
}

QStringList& TVexQuery::SQL() { return dataset().SQL(); }

void TVexQuery::SetQuery(const QStringList& Value) {
    data::TCustomSQLQuery& ds = dataset();
    QString text;
    for (const QString& line : Value) text += line + QStringLiteral("\r\n");
    if (ds.text() == text) return;
    Disconnect();
    ds.SQL() = Value;
}

bool TVexQuery::Active() const {
    const data::TDataSet* ds = Dataset();
    return ds && ds->Active();
}

void TVexQuery::Sustituyo_parametros() {
    QStringList& lines = dataset().SQL();
    const qsizetype entries = FParams.size();
    for (qsizetype i = 0; i < entries; ++i) {
        const QString& entry = FParams[i];
        const qsizetype eq = entry.indexOf(u'=');
        const QString name = eq < 0 ? QString() : entry.left(eq);
        // The value of the first entry of that name; only entries holding "="
        // have a name at all.
        QString value;
        for (const QString& other : FParams) {
            const qsizetype oeq = other.indexOf(u'=');
            if (oeq < 0) continue;
            if (QStringView(other).left(oeq).compare(name, Qt::CaseInsensitive) == 0) {
                value = other.mid(oeq + 1);
                break;
            }
        }
        const QString pattern = QStringLiteral(":") + name;
        const qsizetype count = lines.size();
        for (qsizetype k = 0; k < count; ++k) {
            QString line = lines[k];
            line.replace(pattern, value, Qt::CaseInsensitive);
            lines[k] = line;
        }
    }
}

void TVexQuery::SetActive(bool Value) {
    if (Value) {
        data::TCustomSQLQuery& ds = dataset();
        Sustituyo_parametros();
        if (consAdo) consAdo->Prepared = true;
        ds.SetActive(true);
        return;
    }
    FParams.clear();
    // Closing a query that has no dataset has nothing to close.
    if (data::TDataSet* ds = Dataset()) ds->SetActive(false);
}

bool TVexQuery::Eof() const {
    const data::TDataSet* ds = Dataset();
    return !ds || ds->Eof();
}

void TVexQuery::Next() { dataset().Next(); }

void TVexQuery::Close() {
    if (data::TDataSet* ds = Dataset()) ds->Close();
}

void TVexQuery::Disconnect() { Close(); }

void TVexQuery::ExecSQL() {
    data::TCustomSQLQuery& ds = dataset();
    if (log) add_log(ds.SQL());
    if (ConsSql) ConsSql->ExecSQL(false);
    else ds.ExecSQL();
}

QString TVexQuery::FieldName(const QString& Name) const {
    return TDriver == u"DBF" ? Name.left(10) : Name;
}

data::TField& TVexQuery::FieldByName(const QString& FieldName_) {
    return dataset().FieldByName(FieldName(FieldName_));
}

data::TFields& TVexQuery::Fields() { return dataset().Fields(); }

data::TFieldDefs& TVexQuery::FieldDefs() { return dataset().FieldDefs(); }

void TVexQuery::GetFieldNames(QStringList& List) { dataset().GetFieldNames(List); }

int TVexQuery::RecordCount() {
    data::TCustomSQLQuery& ds = dataset();
    if (Tipo == BDFireDac) return GetQueryCount();
    return ds.RecordCount();
}

int TVexQuery::GetQueryCount() {
    QString s = ConsFDc->text();
    s.replace(u'\r', u' ');
    s.remove(u'\n');
    const qsizetype p = rtl::UpperCase(s).indexOf(u" FROM ");
    const QString tail = p >= 0 ? s.mid(p) : s;
    QString count = QStringLiteral("select count(*) ") + tail;
    const qsizetype q = rtl::UpperCase(count).indexOf(u"ORDER");
    if (q >= 0) count = count.left(q);
    ConsFDcRecordCount->SetActive(false);
    ConsFDcRecordCount->SQL().clear();
    ConsFDcRecordCount->SQL().append(count);
    ConsFDcRecordCount->SetActive(true);
    return ConsFDcRecordCount->Fields()[0].AsInteger();
}
