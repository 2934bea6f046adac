// Writes small workbooks for the window's tests: one worksheet, cells given
// row by row from row 1 (texts, numbers or nothing), through libxlsxwriter.
#pragma once

#include <QString>
#include <variant>
#include <vector>

namespace prueba {

struct Vacia {};
using Celda = std::variant<Vacia, double, QString>;
using Fila = std::vector<Celda>;

// Writes `filas` into the first worksheet of a new .xlsx at `ruta` (row 1
// first). Throws std::runtime_error when the file cannot be written.
void escriboLibro(const QString& ruta, const std::vector<Fila>& filas);

// The same as escriboLibro, in a package of our own: texts go into the
// shared-string table with every character XML cannot carry (controls, the
// halves of surrogate pairs, U+FFFE, U+FFFF) written as Excel writes it,
// _xHHHH_, so a text may hold any UTF-16 unit, a NUL or a lone surrogate too.
void escriboLibroConEscapes(const QString& ruta, const std::vector<Fila>& filas);

// A waybill row in the workbook's layout (12 columns), the header row aside.
Fila filaGuia(const QString& remitente, const QString& consignatario, const QString& numero,
              const QString& master, Celda peso, Celda volumen, Celda bultos, const QString& origen);

// The header row of the layout.
Fila encabezado();

}  // namespace prueba
