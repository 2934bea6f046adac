#include "tests/app/support/libro.h"
#include "tests/platform/spreadsheet/zip_builder.h"
#include "tests/support/process_locale.h"

#include <QFile>
#include <QHash>
#include <stdexcept>
#include <string>
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

namespace {

std::string letrasDeColumna(std::size_t columna) {  // from 0
    std::string letras;
    for (std::size_t c = columna + 1; c > 0; c = (c - 1) / 26) letras.insert(letras.begin(), char('A' + (c - 1) % 26));
    return letras;
}

std::string conEscapes(const QString& texto) {
    std::string xml;
    for (const QChar q : texto) {
        const char16_t u = q.unicode();
        if (u == u'<') xml += "&lt;";
        else if (u == u'&') xml += "&amp;";
        else if (u < 0x20 || u == u'_' || (u >= 0xD800 && u < 0xE000) || u >= 0xFFFE) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "_x%04X_", static_cast<unsigned>(u));
            xml += escape;
        } else {
            xml += QString(q).toStdString();
        }
    }
    return xml;
}

}  // namespace

void escriboLibroConEscapes(const QString& ruta, const std::vector<Fila>& filas) {
    std::string celdas, textos;
    QHash<QString, int> indices;
    for (std::size_t r = 0; r < filas.size(); ++r) {
        const std::string fila = std::to_string(r + 1);
        celdas += "<row r=\"" + fila + "\">";
        for (std::size_t c = 0; c < filas[r].size(); ++c) {
            const std::string ref = letrasDeColumna(c) + fila;
            if (const double* n = std::get_if<double>(&filas[r][c])) {
                celdas += "<c r=\"" + ref + "\"><v>" + QString::number(*n, 'g', 17).toStdString() + "</v></c>";
            } else if (const QString* t = std::get_if<QString>(&filas[r][c])) {
                auto it = indices.find(*t);
                if (it == indices.end()) {
                    it = indices.insert(*t, static_cast<int>(indices.size()));
                    textos += "<si><t xml:space=\"preserve\">" + conEscapes(*t) + "</t></si>";
                }
                celdas += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(*it) + "</v></c>";
            }
        }
        celdas += "</row>";
    }
    const QByteArray libro = xltest::makeXlsx(
        xltest::sheet(celdas),
        {{"xl/sharedStrings.xml",
          "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + textos + "</sst>"}});
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly) || archivo.write(libro) != libro.size())
        throw std::runtime_error("cannot write " + ruta.toStdString());
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
