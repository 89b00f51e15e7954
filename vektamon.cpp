// The program's entry: the operator's window and, behind it, the capture thread.
#include <QApplication>

#include "settings/FilesFolder.h"
#include "window/SignalClose.h"
#include "window/Unit1.h"
#include "window/Version.h"

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    TForm1 Form1(FilesFolder(QApplication::applicationDirPath().toStdString()));
    CloseOnEndSignals(Form1, [&Form1] { Form1.CloseUnattended(); });
    Form1.show();
    return QApplication::exec();
}
