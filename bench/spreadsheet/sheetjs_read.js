// The same reading as read_cells_bench.cpp with SheetJS: open the workbook and
// take every cell of columns 1 to 12, as text, or as a number in columns 9 to 11.
// usage: node sheetjs_read.js WORKBOOK [ROWS] [REPEATS]
'use strict';
const XLSX = require('xlsx');
const file = process.argv[2];
const rows = Number(process.argv[3] || 100000);
const repeats = Number(process.argv[4] || 3);
let best = Infinity;
let cells = 0;
let checksum = 0;
const addresses = [];
for (let col = 0; col < 12; ++col) addresses.push(XLSX.utils.encode_col(col));
for (let r = 0; r < repeats; ++r) {
  const start = process.hrtime.bigint();
  cells = 0;
  const wb = XLSX.readFile(file);
  const sheet = wb.Sheets[wb.SheetNames[0]];
  for (let row = 2; row <= rows + 1; ++row) {
    for (let col = 0; col < 12; ++col) {
      const cell = sheet[addresses[col] + row];
      if (col >= 8 && col <= 10) checksum += cell ? Number(cell.v) : 0;
      else checksum += cell ? String(cell.v).length : 0;
      ++cells;
    }
  }
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (seconds < best) best = seconds;
}
const rssKib = process.resourceUsage().maxRSS;
console.log(`SheetJS: ${cells} cells in ${best.toFixed(3)} s (best of ${repeats}) = ${(cells / best / 1e6).toFixed(2)} million cells/s, peak RSS ${(rssKib / 1024).toFixed(1)} MiB (checksum ${checksum.toFixed(0)})`);
console.log(`RESULT sheetjs_seconds=${best} sheetjs_cells=${cells} sheetjs_rss_kib=${rssKib}`);
