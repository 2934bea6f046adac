// Next-code reservation of TVexQuery: a row holding only the new code is
// inserted into the key column, so that the code is taken at once. The
// statements run directly on the query's dataset (no parameter
// substitution, no log).
#include "database/VexQuery.h"

#include "platform/runtime/strings.h"

#include <limits>
#include <optional>

namespace {

QStringList insertLines(const QString& tabla, const QString& campo, std::int32_t code) {
    return {QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" (") + campo + QStringLiteral(") Values ("),
            rtl::IntToStr(code) + QStringLiteral(")")};
}

QStringList deleteLines(const QString& tabla, const QString& campo, std::int32_t code) {
    return {QStringLiteral("delete from ") + tabla,
            QStringLiteral("where ") + campo + QStringLiteral(" = ") + rtl::IntToStr(code)};
}

QString messageOf(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return rtl::messageOf(ex);
    } catch (...) {
        return QStringLiteral("error desconocido");
    }
}

[[noreturn]] void giveUp(const QString& tabla, const QString& campo, int attempts, const QString& lastError) {
    throw EReservaCodigo(QStringLiteral("No se pudo reservar un código nuevo en la columna %1 de la tabla %2 "
                                        "(%3 inserciones rechazadas sin que el código estuviera ocupado): %4")
                             .arg(campo, tabla)
                             .arg(attempts)
                             .arg(lastError));
}

}  // namespace

std::int32_t siguienteCodigo(std::int32_t highest, const QString& tabla, const QString& campo) {
    if (highest == std::numeric_limits<std::int32_t>::max())
        throw EReservaCodigo(QStringLiteral("No quedan códigos libres en la columna %1 de la tabla %2").arg(campo, tabla));
    return highest + 1;
}

void TVexQuery::setStatement(const QStringList& lines) {
    data::TCustomSQLQuery& ds = dataset();
    ds.Close();
    ds.SQL().clear();
    for (const QString& line : lines) ds.SQL().append(line);
}

std::int32_t TVexQuery::readMaximum(const QString& Tabla, const QString& campo) {
    setStatement({QStringLiteral("SELECT MAX(") + campo + QStringLiteral(") AS MaxCodigo From ") + Tabla});
    data::TCustomSQLQuery& ds = dataset();
    ds.Open();
    return ds.FieldByName(QStringLiteral("MaxCodigo")).AsInteger();
}

void TVexQuery::runDirect() {
    if (ConsSql) ConsSql->ExecSQL(false);
    else dataset().ExecSQL();
}

std::int32_t TVexQuery::reserveGiven(const QString& Tabla, const QString& campo, std::int32_t ValorID) {
    setStatement(deleteLines(Tabla, campo, ValorID));
    runDirect();
    setStatement(insertLines(Tabla, campo, ValorID));
    runDirect();
    setStatement({});
    return ValorID;
}

std::int32_t TVexQuery::reserveRereading(const QString& Tabla, const QString& campo) {
    // A refused insert counts as a taken code and the highest is read again.
    // When the highest has not reached the refused code, nothing explains the
    // refusal; after a run of such refusals we give up with the last error.
    std::optional<std::int32_t> refused;
    int unexplained = 0;
    QString lastError;
    for (;;) {
        const std::int32_t vCodigo = siguienteCodigo(readMaximum(Tabla, campo), Tabla, campo);
        if (refused) {
            if (vCodigo > *refused) unexplained = 0;
            else if (++unexplained >= kReservaIntentosSinExplicacion)
                giveUp(Tabla, campo, unexplained, lastError);
        }
        try {
            setStatement(insertLines(Tabla, campo, vCodigo));
            runDirect();
            dataset().Close();
            return vCodigo;
        } catch (...) {
            lastError = messageOf(std::current_exception());
            refused = vCodigo;
        }
    }
}

std::int32_t TVexQuery::reserveCounting(const QString& Tabla, const QString& campo, std::int32_t ValorID) {
    const std::int32_t highest = readMaximum(Tabla, campo);
    if (ValorID != 0) return reserveGiven(Tabla, campo, ValorID);
    std::int32_t vCodigo = siguienteCodigo(highest, Tabla, campo);
    // A refused insert counts as a taken code and the next one is tried. Only
    // after a run of refusals is the highest read, to learn how many of the
    // refused codes at the top of the run no taken code explains.
    int refusedInARow = 0;
    for (;;) {
        setStatement(insertLines(Tabla, campo, vCodigo));
        try {
            runDirect();
            return vCodigo;
        } catch (...) {
            const QString lastError = messageOf(std::current_exception());
            if (++refusedInARow >= kReservaIntentosSinExplicacion) {
                const std::int64_t unexplained = std::int64_t{vCodigo} - readMaximum(Tabla, campo);
                if (unexplained >= kReservaIntentosSinExplicacion)
                    giveUp(Tabla, campo, static_cast<int>(unexplained), lastError);
                refusedInARow = unexplained > 0 ? static_cast<int>(unexplained) : 0;
            }
            vCodigo = siguienteCodigo(vCodigo, Tabla, campo);
        }
    }
}

std::int32_t TVexQuery::ProximoCodigoNombre(const QString& Tabla, const QString& campo, std::int32_t ValorID) {
    if (ValorID != 0) return reserveGiven(Tabla, campo, ValorID);
    return reserveRereading(Tabla, campo);
}

std::int32_t TVexQuery::ProximoCodigo(const QString& Tabla, std::int32_t ValorID, const QString& nombre_clave) {
    if (Tipo == BDFireDac && ConsFDc) return reserveCounting(Tabla, nombre_clave, ValorID);
    if (ValorID != 0) return reserveGiven(Tabla, nombre_clave, ValorID);
    return reserveRereading(Tabla, nombre_clave);
}
