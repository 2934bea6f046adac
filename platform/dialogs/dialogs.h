// The one seam through which every modal dialog of the program passes.
//
// In the running program each call shows a real modal Qt dialog and returns
// when the user closes it. Tests install a handler that answers in its place,
// so no test ever blocks on a dialog; a handler sees what would have been
// shown (kind, text) and, for the open dialog, gives the chosen file name.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace vcl {

enum class DialogKind {
    Error,      // MessageDlg(mtError, [mbOK]): the system's `error`
    Message,    // ShowMessage: a plain message box
    Exception,  // the default handler's box for an exception that escaped
};

struct DialogRequest {
    DialogKind kind;
    QString text;
};

// Answers message dialogs; called instead of showing one.
using MessageHandler = std::function<void(const DialogRequest&)>;
// Answers the open dialog: returns the chosen full file name, or an empty
// text for a cancelled dialog.
using OpenFileHandler = std::function<QString(const QString& filter)>;

// Installs (or, with an empty function, removes) the handlers.
void setMessageHandler(MessageHandler handler);
void setOpenFileHandler(OpenFileHandler handler);

// The modal error dialog: the message, the error icon, a single OK button.
void MessageDlgError(const QString& text);
// The plain message box (the platform's ShowMessage).
void ShowMessage(const QString& text);
// The default handler's message box for an exception that reached the event loop.
void ShowException(const QString& text);
// The file-open dialog with `filter` in Windows form ("Name|*.a;*.b").
QString GetOpenFileName(QWidget* parent, const QString& filter);

// The box each kind shows, built but not shown: for the real dialogs and for
// tests that look at them. The caller owns it.
QMessageBox* makeMessageBox(DialogKind kind, const QString& text, QWidget* parent = nullptr);

// Turns a Windows filter ("Excel Files (*.xls, *.xlsx)|*.xls;*.xlsx") into
// Qt's form ("Excel Files (*.xls, *.xlsx) (*.xls *.xlsx)").
QString qtFilter(const QString& windowsFilter);

}  // namespace vcl
