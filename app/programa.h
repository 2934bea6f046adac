// The main program block: the application object, the main window and the
// message loop. main() is a thin call of ejecutarPrograma, so tests can run
// the whole program in a child process with their own dialog answers.
#pragma once

#include <QStringList>
#include <memory>

class TfrmPrincipal;

// Makes the form's font known, creates the main window from the command line
// `argumentos` (the program's path first) and runs its start-up. Returns nullptr when the program must end
// without showing it (the refused connection, already reported).
std::unique_ptr<TfrmPrincipal> CreateForm(const QStringList& argumentos);

// Runs the program: application object, main window, message loop until that
// window closes. The window gets the command line as `argv` holds it when
// called, Qt's own options included. Returns the process's exit code, 0 on
// every road.
int ejecutarPrograma(int argc, char** argv);
