// The program's one window: choice of the workbook, the movement kind and the
// manifest; "Procesar" reads the workbook's waybills into the grid, "Guardar"
// writes them into the chosen manifest.
//
// Building the window lays out its controls; crearFormulario() then runs the
// start-up (FormCreate) the way the platform runs a window's creation
// handler. Every event handler runs under the default handler: an exception
// that escapes it is shown in a message box and the window goes on.
#pragma once

#include "app/conocimiento.h"

#include <QStringList>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QTableView;
class QToolButton;
class ReportModel;
class __config;

class TfrmPrincipal : public QWidget {
public:
    // Lays out the controls; `argumentos` is the command line, the program's
    // own path first (ParamStr(0)). No database is touched until crearFormulario.
    explicit TfrmPrincipal(QStringList argumentos, QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // Runs FormCreate under the platform's handling of a window's creation:
    // an exception is shown (ShowException) and the steps after the failing
    // one are not done. When it came before the connection, the settings
    // object and the waybill list were all built, "Procesar" and "Guardar"
    // stay disabled for the window's whole life; a failing manifest query,
    // the last step, leaves the window working with an empty manifest list.
    // Returns false when the program must end at once, without showing the
    // window (the refused connection, already reported).
    bool crearFormulario();
    // Whether start-up built what the handlers use: the connection, the
    // settings object and the waybill list.
    bool iniciado() const { return iniciado_; }

    // Start-up: command line, connection, settings, waybill list, manifests.
    void FormCreate(QObject* Sender);
    // The open dialog; a confirmed file name replaces txtArchivo's text.
    void SpeedButton1Click(QObject* Sender);
    // Reloads the manifest list for the kind chosen in cmbTipo.
    void cmbTipoChange(QObject* Sender);
    // Fills `combo` with the open manifests of kind `tipo` (0 INGRESO,
    // 1 EGRESO), highest id first, each item carrying the manifest's id.
    // Leaves no item chosen, also when a row fails part-way.
    void cargoComboManifiestos(QComboBox* combo, std::int32_t tipo);
    // Reads the workbook named in txtArchivo into conocimientos and lista.
    // Stops, as at any failure while rows are read, once the waybills read
    // take more than memoriaMaximaDeLaLista (see memoriaDeLaGuia).
    void btnProcesarClick(QObject* Sender);
    // What the waybills of one reading may take in memory, with their rows of
    // lista: beside the workbook's own cells (at most 192 MiB while it is
    // open) the whole program stays within 512 MiB. About 130,000 ordinary
    // waybills; a cell's text counts in full wherever it is repeated.
    static constexpr std::size_t memoriaMaximaDeLaLista = std::size_t{160} << 20;
    // What `c` and its row of lista take, as btnProcesarClick counts it: a
    // fixed share (the object, its texts' headers, the row) and its texts.
    static std::size_t memoriaDeLaGuia(const TConocimiento& c);
    // Fills lista from conocimientos in one update; enables "Guardar" when
    // there is at least one row.
    void listoConocimientos();
    // Writes every waybill and its cargo line 1 into the chosen manifest.
    void btnGuardarClick(QObject* Sender);
    // Progress mark: focuses (without selecting) the first row of lista whose
    // caption is `numConoc` (the last row when none is), scrolls it into view
    // and repaints the window at once. Does nothing when lista has no rows.
    void muestroItem(const QString& numConoc);
    // The customer code of the consignee `nombre` in IClientes, or 0.
    void doyIdConsignatario(const QString& nombre, std::int32_t& idCons);

    // The controls, as the form lays them out.
    QFrame* Panel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtArchivo = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbTipo = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* cmbManifiesto = nullptr;
    QToolButton* btnProcesar = nullptr;
    QTableView* lista = nullptr;
    QFrame* panelInferior = nullptr;
    QToolButton* btnGuardar = nullptr;

    // The filter of the open dialog `abrir`.
    static const QString filtroAbrir;

    // The form's font is Tahoma, 8 points. Where the system has none, the
    // metric-compatible Tahoma of Debian's fonts-wine (`archivoTahoma`, a
    // directory fontconfig does not search) is made known to the application.
    // Returns whether a Tahoma is there now. Needs the application object;
    // CreateForm calls it before it builds the window.
    static bool cargoFuenteDelFormulario();
    static const QString archivoTahoma;

    // The waybill list (created by FormCreate) and the rows of lista.
    std::unique_ptr<TConocimientos> conocimientos;
    ReportModel* filas = nullptr;
    std::unique_ptr<__config> _config;

    // The data-source name the command line asks for: the last argument whose
    // first field (split at "=", letters a-z upper-cased) is "/ALIAS" gives
    // its second field; TALVEN without one. The scan stops at the first empty
    // argument; argumentos[0] is the program's path.
    static QString aliasDeLineaDeComandos(const QStringList& argumentos);

private:
    void crearControles();
    // Runs `handler` under the default handler.
    void manejar(const std::function<void()>& handler);

    QStringList argumentos_;
    bool conectado_ = false;
    bool iniciado_ = false;
    bool terminar_ = false;
};
