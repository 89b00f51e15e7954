#include "ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

#include "Version.h"

namespace {

void ShowErrorBox(const QString &message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

ErrorReport &CurrentReport()
{
    static ErrorReport report = ShowErrorBox;
    return report;
}

}  // namespace

QString WithFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + u'.';
    return message;
}

void ShowError(const QString &message)
{
    CurrentReport()(WithFullStop(message));
}

ErrorReport SetErrorReport(ErrorReport report)
{
    return std::exchange(CurrentReport(), std::move(report));
}
