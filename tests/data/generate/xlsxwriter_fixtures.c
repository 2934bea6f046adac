/* Writes the libxlsxwriter test workbooks into tests/data/ (run by hand through
 * xlsxwriter.sh). libxlsxwriter writes every string to the shared-string table
 * and every formula with the cached result it is given, as Excel does. */
#include <stdio.h>
#include <xlsxwriter.h>

static int check(lxw_error e, const char *what) {
    if (e != LXW_NO_ERROR) {
        fprintf(stderr, "%s: %s\n", what, lxw_strerror(e));
        return 1;
    }
    return 0;
}

/* Waybills in the program's layout; the weight of row 2 is a formula with its
 * cached result, the description of row 3 a formula giving a text, and the
 * last waybill row dates in columns 6 and 7. A chart sheet placed first in tab order is
 * not a worksheet. */
static int waybills(const char *path) {
    lxw_workbook *wb = workbook_new(path);
    lxw_chartsheet *cs = workbook_add_chartsheet(wb, "Grafico");
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Embarque");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "dd/mm/yyyy");
    lxw_format *stamp = workbook_add_format(wb);
    format_set_num_format(stamp, "d mmm yyyy hh:mm:ss");

    const char *head[12] = {"Remitente", "Consignatario", "No se lee", "Notificar", "Guía", "Master",
                            "Pago", "Descripción", "Peso", "Volumen", "Bultos", "Origen"};
    for (int c = 0; c < 12; ++c) worksheet_write_string(ws, 0, (lxw_col_t)c, head[c], NULL);

    worksheet_write_string(ws, 1, 0, "Exportadora Ñuñoa", NULL);
    worksheet_write_string(ws, 1, 1, "josé o'neill", NULL);
    worksheet_write_string(ws, 1, 3, "misma", NULL);
    worksheet_write_string(ws, 1, 4, "020-11112222", NULL);
    worksheet_write_string(ws, 1, 5, "M-77", NULL);
    worksheet_write_string(ws, 1, 6, "PP", NULL);
    worksheet_write_string(ws, 1, 7, "flores", NULL);
    worksheet_write_formula_num(ws, 1, 8, "=8+4.5", NULL, 12.5);
    worksheet_write_number(ws, 1, 9, 0.125, NULL);
    worksheet_write_formula_num(ws, 1, 10, "=2*5", NULL, 10);
    worksheet_write_string(ws, 1, 11, "NLAMS", NULL);

    worksheet_write_string(ws, 2, 0, "Exportadora Ñuñoa", NULL);
    worksheet_write_string(ws, 2, 1, "josé o'neill", NULL);
    worksheet_write_number(ws, 2, 4, 20011113333.0, NULL);
    worksheet_write_string(ws, 2, 5, "M-77", NULL);
    worksheet_write_formula_str(ws, 2, 7, "=\"caja \"&\"chica\"", NULL, "caja chica");
    worksheet_write_number(ws, 2, 8, 1e-3, NULL);
    worksheet_write_boolean(ws, 2, 9, 1, NULL);
    worksheet_write_string(ws, 2, 11, "BR", NULL);

    lxw_datetime when = {2024, 3, 15, 10, 30, 0};
    worksheet_write_string(ws, 3, 4, "020-44445555", NULL);
    worksheet_write_datetime(ws, 3, 5, &when, date);
    worksheet_write_datetime(ws, 3, 6, &when, stamp);

    lxw_chart *chart = workbook_add_chart(wb, LXW_CHART_COLUMN);
    chart_add_series(chart, NULL, "=Embarque!$I$2:$I$4");
    chartsheet_set_chart(cs, chart);
    return check(workbook_close(wb), path);
}

int main(void) {
    return waybills("../xlsxwriter-waybills-formulas-chartsheet-first.xlsx");
}
