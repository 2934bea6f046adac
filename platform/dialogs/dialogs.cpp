#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace vcl {

namespace {

MessageHandler& messageHandler() {
    static MessageHandler handler;
    return handler;
}

OpenFileHandler& openFileHandler() {
    static OpenFileHandler handler;
    return handler;
}

void show(DialogKind kind, const QString& text) {
    if (messageHandler()) {
        messageHandler()(DialogRequest{kind, text});
        return;
    }
    QMessageBox* box = makeMessageBox(kind, text, QApplication::activeWindow());
    box->exec();
    delete box;
}

}  // namespace

void setMessageHandler(MessageHandler handler) { messageHandler() = std::move(handler); }
void setOpenFileHandler(OpenFileHandler handler) { openFileHandler() = std::move(handler); }

QMessageBox* makeMessageBox(DialogKind kind, const QString& text, QWidget* parent) {
    auto* box = new QMessageBox(parent);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    const QString title = QApplication::applicationDisplayName();
    switch (kind) {
    case DialogKind::Error:
        box->setIcon(QMessageBox::Critical);
        box->setWindowTitle(QStringLiteral("Error"));
        break;
    case DialogKind::Message:
        box->setIcon(QMessageBox::NoIcon);
        box->setWindowTitle(title);
        break;
    case DialogKind::Exception:
        box->setIcon(QMessageBox::Critical);
        box->setWindowTitle(title);
        break;
    }
    return box;
}

void MessageDlgError(const QString& text) { show(DialogKind::Error, text); }
void ShowMessage(const QString& text) { show(DialogKind::Message, text); }
void ShowException(const QString& text) { show(DialogKind::Exception, text); }

QString qtFilter(const QString& windowsFilter) {
    const QStringList parts = windowsFilter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        entries << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return entries.join(QStringLiteral(";;"));
}

QString GetOpenFileName(QWidget* parent, const QString& filter) {
    if (openFileHandler()) return openFileHandler()(filter);
    // Like the platform's open dialog, a typed name need not exist: the
    // caller checks the file.
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(qtFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace vcl
