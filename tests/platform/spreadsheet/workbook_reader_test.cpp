// The format is told by content, never by extension, and every file that is
// no readable workbook gets a message naming it.
#include "platform/spreadsheet/workbook_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

namespace {

QString shared(const char* name) { return QStringLiteral(VEX_SHARED_WORKBOOKS "/") + QString::fromUtf8(name); }
QString ours(const char* name) { return QStringLiteral(VEX_TEST_DATA "/") + QString::fromUtf8(name); }

QString refusal(const QString& path) {
    try {
        xl::readWorkbookFile(path);
    } catch (const xl::ReadError& e) {
        return e.message();
    }
    return {};
}

class WorkbookDetection : public ::testing::Test {
protected:
    QString write(const char* name, const QByteArray& bytes) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString copyOf(const QString& source, const char* name) {
        QFile f(source);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return write(name, f.readAll());
    }
    QTemporaryDir dir_;
};

TEST_F(WorkbookDetection, ContentDecidesNotTheExtension) {
    // An xlsx named .xls, and one with no extension, read as what they are.
    for (const char* name : {"guias.xls", "guias", "guias.csv"}) {
        SCOPED_TRACE(name);
        const auto wb = xl::readWorkbookFile(copyOf(ours("sheetjs-waybills.xlsx"), name));
        ASSERT_TRUE(wb.firstWorksheet.find(2, 5));
        EXPECT_EQ(wb.firstWorksheet.find(2, 5)->text, QStringLiteral("125-12345675"));
    }
}

TEST_F(WorkbookDetection, FilesThatAreNoWorkbook) {
    struct Case {
        const char* name;
        QString path;
        const char16_t* messagePart;
    } cases[] = {
        {"empty file", write("vacio.xlsx", QByteArray()), u"está vacío"},
        {"text renamed", write("texto.xlsx", "remitente;consignatario\nA;B\n"), u"no es un libro de Excel"},
        {"BIFF2 record stream (no compound document)", ours("sheetjs-biff2.xls"), u"no es un libro de Excel"},
        {"missing file", dir_.filePath(QStringLiteral("no-esta.xlsx")), u"no existe"},
        {"a folder", dir_.path(), u"carpeta"},
        {"xlsb", shared("excel-binary.xlsb"), u".xlsb"},
        {"ods", shared("libreoffice.ods"), u".ods"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusal(c.path);
        EXPECT_TRUE(message.contains(c.path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf16(c.messagePart))) << message.toStdString();
    }
}

// The read runs on a thread of its own: one that blocks fails the test
// instead of hanging the suite (a reader stuck opening a FIFO is let go by a
// writer that comes and goes).
QString refusalInTime(const QString& path) {
    std::promise<QString> done;
    std::future<QString> result = done.get_future();
    std::thread reader([&] { done.set_value(refusal(path)); });
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the read did not return";
        const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0) ::close(writer);
    }
    reader.join();
    return result.get();
}

// Only a regular file is read: the name is opened once, without waiting,
// and whatever it turns out to be is told before a byte is read.
TEST_F(WorkbookDetection, NamesThatAreNoRegularFile) {
    const QByteArray workbook = [] {
        QFile f(ours("sheetjs-waybills.xlsx"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    ASSERT_FALSE(workbook.isEmpty());
    const auto local = [](const QString& path) { return QFile::encodeName(path); };

    const QString lonelyFifo = dir_.filePath(QStringLiteral("sin-escritor.xlsx"));
    ASSERT_EQ(::mkfifo(local(lonelyFifo).constData(), 0600), 0);
    // A FIFO with a writer that has already put a whole workbook in it.
    const QString fedFifo = dir_.filePath(QStringLiteral("con-escritor.xlsx"));
    ASSERT_EQ(::mkfifo(local(fedFifo).constData(), 0600), 0);
    const int writer = ::open(local(fedFifo).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_LT(workbook.size(), 65536);  // fits the pipe's buffer
    ASSERT_EQ(::write(writer, workbook.constData(), static_cast<std::size_t>(workbook.size())), workbook.size());

    const QString socketPath = dir_.filePath(QStringLiteral("s.xlsx"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(local(socketPath).size()), sizeof address.sun_path);
    std::strcpy(address.sun_path, local(socketPath).constData());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

    const QString loop = dir_.filePath(QStringLiteral("bucle.xlsx"));
    ASSERT_EQ(::symlink(local(dir_.filePath(QStringLiteral("bucle2.xlsx"))).constData(), local(loop).constData()), 0);
    ASSERT_EQ(::symlink(local(loop).constData(), local(dir_.filePath(QStringLiteral("bucle2.xlsx"))).constData()), 0);
    const QString dangling = dir_.filePath(QStringLiteral("roto.xlsx"));
    ASSERT_EQ(::symlink("no-esta.xlsx", local(dangling).constData()), 0);
    const QString linkToWorkbook = dir_.filePath(QStringLiteral("enlace.xlsx"));
    ASSERT_EQ(::symlink(local(ours("sheetjs-waybills.xlsx")).constData(), local(linkToWorkbook).constData()), 0);
    const QString plain = write("guias.xlsx", workbook);

    struct Case {
        const char* name;
        QString path;
        const char16_t* messagePart;
    } cases[] = {
        {"FIFO without a writer", lonelyFifo, u"es una tubería (FIFO), no un archivo"},
        {"FIFO with a writer", fedFifo, u"es una tubería (FIFO), no un archivo"},
        {"character device", QStringLiteral("/dev/null"), u"es un dispositivo, no un archivo"},
        {"endless character device", QStringLiteral("/dev/zero"), u"es un dispositivo, no un archivo"},
        {"socket", socketPath, u"socket"},
        {"folder", dir_.path(), u"es una carpeta, no un archivo"},
        {"loop of symbolic links", loop, u"forma un ciclo"},
        {"symbolic link to nothing", dangling, u"es un enlace simbólico a un archivo que no existe"},
        {"a file taken for a folder", plain + QStringLiteral("/hoja.xlsx"), u"una parte de su ruta no es una carpeta"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString message = refusalInTime(c.path);
        EXPECT_TRUE(message.contains(c.path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf16(c.messagePart))) << message.toStdString();
    }
    ::close(writer);
    ::close(sock);
    // A symbolic link to a workbook is that workbook.
    EXPECT_TRUE(xl::readWorkbookFile(linkToWorkbook).firstWorksheet.find(2, 5));
}

TEST_F(WorkbookDetection, FileWithoutPermissionToReadIt) {
    const QString path = write("cerrado.xlsx", "PK\x03\x04");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const auto expected = [&](const QString& message) {
        return message.contains(path) && message.contains(QStringLiteral("no tiene permiso para leerlo"));
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(expected(refusal(path))) << refusal(path).toStdString();
        return;
    }
    // Root reads every file: the read is made by a child that gave that up.
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0711), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        const QString message = refusal(path);
        if (!expected(message)) std::fprintf(stderr, "%s\n", message.toUtf8().constData());
        ::_exit(expected(message) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST_F(WorkbookDetection, CompoundDocumentsGoToTheXlsReader) {
    // Whatever the .xls reader makes of them, it is a ReadError naming the file
    // (or, for readable BIFF8, cells): never a crash or a silent empty sheet.
    for (const QString& path : {shared("excel-encrypted-agile-aes256.xlsx"), shared("excel-biff5.xls"),
                                shared("excel-biff8-encrypted-rc4.xls"), copyOf(shared("excel-biff8-small.xls"), "x.xlsx")}) {
        SCOPED_TRACE(path.toStdString());
#ifdef VEX_HAVE_XLS_READER
        try {
            const auto wb = xl::readWorkbookFile(path);
            EXPECT_GT(wb.firstWorksheet.rowCount(), 0);
        } catch (const xl::ReadError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
        }
#else
        const QString message = refusal(path);
        EXPECT_TRUE(message.contains(path)) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("97-2003"))) << message.toStdString();
#endif
    }
#ifdef VEX_HAVE_XLS_READER
    EXPECT_TRUE(refusal(shared("excel-encrypted-agile-aes256.xlsx")).contains(QStringLiteral("contraseña")));
    EXPECT_TRUE(refusal(shared("excel-biff8-encrypted-rc4.xls")).contains(QStringLiteral("contraseña")));
#endif
}

TEST_F(WorkbookDetection, ReadsFromMemoryTheSameWay) {
    QFile f(ours("sheetjs-str-cells.xlsx"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto wb = xl::readWorkbook(f.readAll(), QStringLiteral("memoria.xlsx"));
    EXPECT_EQ(wb.sheets.at(0).name, QStringLiteral("Mezcla"));
    try {
        xl::readWorkbook(QByteArray("\xD0\xCF\x11\xE0", 4), QStringLiteral("corto.xls"));
        ADD_FAILURE() << "four bytes of a signature read as a workbook";
    } catch (const xl::ReadError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("corto.xls")));
    }
}

}  // namespace
