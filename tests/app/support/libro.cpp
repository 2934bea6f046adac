#include "tests/app/support/libro.h"
#include "tests/support/process_locale.h"

#include <stdexcept>
#include <xlsxwriter.h>

namespace prueba {

void escriboLibro(const QString& ruta, const std::vector<Fila>& filas) {
    // libxlsxwriter prints numbers with printf under the current LC_NUMERIC:
    // under es_UY 12.5 would reach the sheet as "12,5".
    const vextest::CNumericForThisThread puntoDecimal;
    const QByteArray archivo = ruta.toUtf8();
    lxw_workbook* libro = workbook_new(archivo.constData());
    if (libro == nullptr) throw std::runtime_error("workbook_new failed");
    lxw_worksheet* hoja = workbook_add_worksheet(libro, "Guias");
    for (size_t r = 0; r < filas.size(); ++r) {
        for (size_t c = 0; c < filas[r].size(); ++c) {
            const auto fila = static_cast<lxw_row_t>(r);
            const auto columna = static_cast<lxw_col_t>(c);
            const Celda& celda = filas[r][c];
            if (const double* n = std::get_if<double>(&celda)) {
                worksheet_write_number(hoja, fila, columna, *n, nullptr);
            } else if (const QString* t = std::get_if<QString>(&celda)) {
                const QByteArray texto = t->toUtf8();
                worksheet_write_string(hoja, fila, columna, texto.constData(), nullptr);
            }
        }
    }
    if (workbook_close(libro) != LXW_NO_ERROR) throw std::runtime_error("workbook_close failed");
}

Fila filaGuia(const QString& remitente, const QString& consignatario, const QString& numero,
              const QString& master, Celda peso, Celda volumen, Celda bultos, const QString& origen) {
    return {remitente, consignatario, QStringLiteral("no se lee"), QStringLiteral("notificar a"), numero, master,
            QStringLiteral("pp"), QStringLiteral("flores"), peso, volumen, bultos, origen};
}

Fila encabezado() {
    Fila f;
    for (const char* t : {"Remitente", "Consignatario", "-", "Notificar", "Guia", "Master", "Pago", "Descripcion",
                          "Peso", "Volumen", "Bultos", "Origen"})
        f.emplace_back(QString::fromUtf8(t));
    return f;
}

}  // namespace prueba
