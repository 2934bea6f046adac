#include "app/programa.h"

#include "app/formPrincipal.h"
#include "platform/runtime/format_settings.h"

#include <QApplication>

std::unique_ptr<TfrmPrincipal> CreateForm(const QStringList& argumentos) {
    TfrmPrincipal::cargoFuenteDelFormulario();
    auto ventana = std::make_unique<TfrmPrincipal>(argumentos);
    if (!ventana->crearFormulario()) return nullptr;
    return ventana;
}

int ejecutarPrograma(int argc, char** argv) {
    // The command line as the process got it: QApplication takes its own
    // options (-style X, -platform X, -reverse, ...) out of argv, and their
    // values may be "/ALIAS" arguments too.
    QStringList argumentos;
    argumentos.reserve(argc);
    for (int i = 0; i < argc; ++i) argumentos << QString::fromLocal8Bit(argv[i]);
    QApplication aplicacion(argc, argv);
    rtl::initFormatSettingsFromLocale();
    std::unique_ptr<TfrmPrincipal> frmPrincipal = CreateForm(argumentos);
    if (!frmPrincipal) return 0;
    frmPrincipal->show();
    QApplication::exec();
    return 0;
}
