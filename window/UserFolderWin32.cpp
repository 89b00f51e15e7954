#include "FilesFolder.h"

#include <QDir>
#include <QStandardPaths>

std::string UserFilesFolder()
{
    return (QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/vektamon/").toStdString();
}

bool MakeUserFolder(const std::string &folder)
{
    return QDir().mkpath(QString::fromStdString(folder));
}
