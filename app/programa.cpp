#include "app/programa.h"

#include "app/formPrincipal.h"
#include "platform/runtime/format_settings.h"

#include <QApplication>

std::unique_ptr<TfrmPrincipal> CreateForm(const QStringList& argumentos) {
    auto ventana = std::make_unique<TfrmPrincipal>(argumentos);
    if (!ventana->crearFormulario()) return nullptr;
    return ventana;
}

int ejecutarPrograma(int argc, char** argv) {
    QApplication aplicacion(argc, argv);
    rtl::initFormatSettingsFromLocale();
    std::unique_ptr<TfrmPrincipal> frmPrincipal = CreateForm(QCoreApplication::arguments());
    if (!frmPrincipal) return 0;
    frmPrincipal->show();
    QApplication::exec();
    return 0;
}
