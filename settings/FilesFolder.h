// Where the program keeps its settings file and its logs.
#pragma once

#include <string>
#include <string_view>

// The folder for the settings and the logs of a program whose file lies in
// programFolder: that folder itself while the user may write there and it is
// not installedFolder (where an installed copy lies); otherwise userFolder,
// made when missing. The answer ends in a separator.
std::string ChooseFilesFolder(const std::string &programFolder, const std::string &installedFolder,
                              const std::string &userFolder);

// The files folder of this program.
std::string FilesFolder(const std::string &programFolder);

// Where an installed copy of the program lies: the build's program folder;
// on Windows the program's own folder when the installer marked it, else
// nothing.
std::string InstalledFolder(const std::string &programFolder);

// The per-user folder, ending in a separator: $XDG_DATA_HOME/vektamon/, by
// default ~/.local/share/vektamon/; on Windows %LOCALAPPDATA%/vektamon/.
std::string UserFilesFolder();

// Whether folder is a folder the user may write into; on Windows found by
// making a file there, as the read-only attribute says nothing of the
// folder's access rights.
bool IsWritableFolder(const std::string &folder);

// Makes the folder and its missing parents, each private to the user; false
// when that fails.
bool MakeUserFolder(const std::string &folder);

// The longest start of UTF-8 text within maxBytes that ends on a character boundary.
std::string_view FitUtf8(std::string_view text, size_t maxBytes);
