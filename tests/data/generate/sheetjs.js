// Writes the SheetJS test workbooks into tests/data/ (run by hand:
// `npm ci && node sheetjs.js`). The files are committed; tests never run this.
'use strict';
const path = require('path');
const XLSX = require('xlsx');

const out = (name) => path.join(__dirname, '..', name);

// Dates are written as serial numbers with a number format, so the files do
// not depend on the time zone of the machine that wrote them.
const date = (serial, z) => ({ t: 'n', v: serial, z });

// Mixed values: accented letters, apostrophes, numbers kept as text, an empty
// column in the middle of every row, booleans and dates.
const mixed = [
  ['texto', 'numero', 'texto_numerico', 'vacia', 'ultimo'],
  ['Señor Pérez', 12.5, '00123', null, 'ñandú'],
  ["O'Brien's cargo", -0.25, '12,5', null, 'é'],
  ['  blancos  ', 1234567890123, '1e3', null, true],
  [false, 0, ' 7.5 ', null, date(45366, 'yyyy-mm-dd')],
  ['fecha y hora', 3.14159265358979, 'x', null, date(45366.4375, 'dd/mm/yyyy hh:mm')],
];

function mixedBook() {
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(mixed), 'Mezcla');
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([['segunda hoja']]), 'Otra');
  return wb;
}

// The program's layout: row 1 headers, one waybill per row from row 2 until
// column 5 is empty; column 3 is not read.
const waybills = [
  ['Remitente', 'Consignatario', 'No se lee', 'Notificar', 'Guía', 'Master', 'Pago', 'Descripción',
    'Peso', 'Volumen', 'Bultos', 'Origen'],
  ['Tokyo Export Co.', 'señor pérez', 'ignorado', 'mismo', '125-12345675', 'MAWB-001', 'pp',
    'repuestos de máquinas', 12.5, 0.75, 3, 'JPNRT'],
  ["O'Higgins Ltda.", "Cargas D'Alessandro", 99, '', '125-12345686', 'MAWB-001', 'cc',
    'muestras sin valor', 1200, null, 1, 'jpnrt'],
  ['Ñandutí S.A.', 'Café Montevideo', null, 'banco', '125-12345690', 'MAWB-001', 'PP',
    'café en grano', '30', 1.5, 40, 'DEFRAX'],
  ['fin', 'fin', null, null, null, null, null, null, null, null, null, null],
  ['no leida', 'no leida', null, null, '125-99999999', null, null, null, 1, 1, 1, 'USMIA'],
];

function waybillBook() {
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(waybills), 'Guias');
  return wb;
}

// Default mode: strings as t="str" cells in the sheet.
XLSX.writeFile(mixedBook(), out('sheetjs-str-cells.xlsx'), { bookType: 'xlsx' });
// Shared-string mode, as Excel writes them.
XLSX.writeFile(mixedBook(), out('sheetjs-shared-strings.xlsx'), { bookType: 'xlsx', bookSST: true });
XLSX.writeFile(waybillBook(), out('sheetjs-waybills.xlsx'), { bookType: 'xlsx', bookSST: true });

// Binary workbooks for the .xls reader: BIFF8 (read), BIFF5 (refused), and
// BIFF2, which is a bare record stream rather than a compound document.
XLSX.writeFile(mixedBook(), out('sheetjs-biff8-mixed.xls'), { bookType: 'biff8' });
XLSX.writeFile(mixedBook(), out('sheetjs-biff8-shared-strings.xls'), { bookType: 'biff8', bookSST: true });
XLSX.writeFile(waybillBook(), out('sheetjs-biff8-waybills.xls'), { bookType: 'biff8' });
XLSX.writeFile(mixedBook(), out('sheetjs-biff5.xls'), { bookType: 'biff5' });
XLSX.writeFile(mixedBook(), out('sheetjs-biff2.xls'), { bookType: 'biff2' });
