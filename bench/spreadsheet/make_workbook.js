// Writes a waybill workbook of ROWS rows (default 100000) in the program's
// layout with SheetJS, strings in the shared-string table as Excel keeps them.
// usage: node make_workbook.js OUT.xlsx [ROWS]
'use strict';
const XLSX = require('xlsx');
const out = process.argv[2];
const rows = Number(process.argv[3] || 100000);
const shippers = ['Tokyo Export Co.', 'Exportadora Ñuñoa', "O'Higgins Ltda.", 'Frankfurt Cargo GmbH', 'Miami Freight'];
const consignees = ['señor pérez', 'Café Montevideo', "Cargas D'Alessandro", 'Importadora del Sur', 'Banco República'];
const origins = ['JPNRT', 'DEFRA', 'USMIA', 'BRGRU', 'NLAMS'];
const aoa = [['Remitente', 'Consignatario', 'No se lee', 'Notificar', 'Guía', 'Master', 'Pago', 'Descripción',
  'Peso', 'Volumen', 'Bultos', 'Origen']];
for (let i = 0; i < rows; ++i) {
  aoa.push([shippers[i % 5], consignees[(i * 7) % 5], i % 3 === 0 ? null : 'x', 'mismo',
    '125-' + String(10000000 + i), 'MAWB-' + String(i % 997).padStart(3, '0'), i % 2 ? 'PP' : 'CC',
    'mercadería general ' + (i % 50), Math.round(i * 37.3) / 10, (i % 100) / 8, (i % 40) + 1, origins[i % 5]]);
}
const wb = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet(aoa), 'Guias');
XLSX.writeFile(wb, out, { bookType: 'xlsx', bookSST: true, compression: true });
