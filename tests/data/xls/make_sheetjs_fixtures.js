// Writes the .xls files of this folder that SheetJS (npm package "xlsx",
// version 0.18.5) makes, so the reader is also tried on an independent
// BIFF8 writer. Run: npm install --no-save xlsx@0.18.5 && node make_sheetjs_fixtures.js
'use strict';
const path = require('path');
const XLSX = require('xlsx');

function write(name, sheets) {
  const wb = XLSX.utils.book_new();
  for (const [sheetName, ws] of sheets) XLSX.utils.book_append_sheet(wb, ws, sheetName);
  XLSX.writeFile(wb, path.join(__dirname, name), { bookType: 'biff8' });
}

// A few waybill rows as the agent's clients send them: accents, ñ,
// apostrophes, a code kept as text, an empty cell inside a row, a date and
// a boolean.
const rows = [
  ['Remitente', 'Consignatario', 'Nota', 'Notificar', 'Guía', 'Master', 'Pago', 'Descripción',
   'Peso', 'Volumen', 'Bultos', 'Origen'],
  ['Exportadora Ñandú', "señor pérez", null, "O'Higgins SA", '0045', 'M-1', 'PP', 'Café',
   12.5, 0.75, 3, 'JPNRT'],
  ['Müller GmbH', 'ACME', 'x', null, '0046', 'M-1', 'CC', 'Piezas', 1000, 2, 10, 'DEFRA'],
];
const waybills = XLSX.utils.aoa_to_sheet(rows);
waybills['M2'] = { t: 'd', v: new Date(Date.UTC(2021, 0, 2)), z: 'yyyy-mm-dd' };
waybills['N2'] = { t: 'b', v: true };
waybills['!ref'] = 'A1:N3';
write('sheetjs-waybills.xls', [['Guías', waybills], ['Resumen', XLSX.utils.aoa_to_sheet([['fin']])]]);

// Large enough that the Workbook stream leaves the mini stream.
const many = [['n', 'texto']];
for (let i = 1; i <= 600; i++) many.push([i * 1.25, 'fila ' + i]);
write('sheetjs-many-rows.xls', [['Datos', XLSX.utils.aoa_to_sheet(many)]]);
