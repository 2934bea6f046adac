// The program as main() runs it, for tests that start it in a child process:
// every dialog is answered at once and written to standard output
// ("DIALOGO <kind>: <text>"), and a main window that shows prints "VENTANA"
// and ends the message loop.
#include "app/formPrincipal.h"
#include "app/programa.h"
#include "platform/dialogs/dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>

namespace {

const char* nombreDelTipo(vcl::DialogKind kind) {
    switch (kind) {
    case vcl::DialogKind::Error:
        return "Error";
    case vcl::DialogKind::Message:
        return "Message";
    case vcl::DialogKind::Exception:
        return "Exception";
    }
    return "?";
}

class Vigia : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* objeto, QEvent* evento) override {
        if (evento->type() == QEvent::Show && dynamic_cast<TfrmPrincipal*>(objeto) != nullptr) {
            std::printf("VENTANA\n");
            std::fflush(stdout);
            QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        }
        return false;
    }
};

void instalo() {
    QCoreApplication::instance()->installEventFilter(new Vigia(QCoreApplication::instance()));
}
Q_COREAPP_STARTUP_FUNCTION(instalo)

}  // namespace

int main(int argc, char** argv) {
    vcl::setMessageHandler([](const vcl::DialogRequest& r) {
        std::printf("DIALOGO %s: %s\n", nombreDelTipo(r.kind), r.text.toUtf8().constData());
        std::fflush(stdout);
    });
    return ejecutarPrograma(argc, argv);
}
