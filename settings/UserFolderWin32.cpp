#include "FilesFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

std::string UserFilesFolder()
{
    return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/vektamon/").toStdString();
}

bool IsWritableFolder(const std::string &folder)
{
    const QFileInfo info(QString::fromStdString(folder));
    return info.isDir() && info.isWritable();
}

bool MakeUserFolder(const std::string &folder)
{
    return QDir().mkpath(QString::fromStdString(folder));
}
