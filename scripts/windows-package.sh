#!/usr/bin/env bash
# Cross-builds the program for 64-bit Windows with mingw-w64 and the Qt 6 for
# mingw-w64 in ../shared/toolchains (VEKTA_QT_MINGW names another archive),
# unpacked into the build folder, and makes from it, in build-windows/
# (VEKTA_WINDOWS_BUILD names another folder):
#   vektamon-<version>-win64.zip        one folder vektamon/: the programs and
#                                       the DLLs they need, to unzip anywhere;
#   vektamon-<version>-win64-setup.exe  the installer (NSIS, 64-bit), /S silent.
# <version> is project(VERSION) in CMakeLists.txt. Prints the two paths, the
# zip's first. Installs what it needs from Debian when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh
repo=$PWD
out="$repo/${VEKTA_WINDOWS_BUILD:-build-windows}"
qt_archive=${VEKTA_QT_MINGW:-$repo/../shared/toolchains/qt6-mingw-6.4.2-x86_64.tar.xz}
triplet=x86_64-w64-mingw32

scripts/install-deps.sh cmake ninja-build g++-mingw-w64-x86-64-posix qt6-base-dev-tools nsis zip >&2

version=$(sed -n 's/^project(vektamon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "$script_name: no project(VERSION) in CMakeLists.txt" >&2; exit 1; }
rc_version=$(sed -n 's/^ *VALUE "FileVersion", "\([0-9.]*\)"/\1/p' window/vektamon.rc)
[ "$rc_version" = "$version" ] ||
  { echo "$script_name: window/vektamon.rc says $rc_version, CMakeLists.txt $version" >&2; exit 1; }

# The Qt is unpacked again when the archive is newer than the unpacked copy.
qt="$out/qt6-mingw"
if [ ! -f "$qt/unpacked" ] || [ "$qt_archive" -nt "$qt/unpacked" ]; then
  [ -f "$qt_archive" ] || { echo "$script_name: no Qt for mingw-w64 at $qt_archive" >&2; exit 1; }
  echo "=== unpacking $(basename "$qt_archive")" >&2
  rm -rf "$qt"
  mkdir -p "$out"
  tar -xJf "$qt_archive" -C "$out"
  touch "$qt/unpacked"
fi

echo "=== vektamon.exe, vektalog.exe (mingw-w64)" >&2
cmake -S . -B "$out/mingw" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEKTA_WERROR=ON -DVEKTA_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64.cmake" -DCMAKE_FIND_ROOT_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build "$out/mingw" -j2 --target vektamon vektalog >&2

# The folder as the user gets it: the programs, Qt's DLLs and plugins, the
# compiler's runtime that Qt's DLLs link against.
stage="$out/stage"
folder="$stage/vektamon"
rm -rf "$stage"
mkdir -p "$folder/platforms" "$folder/styles"
cp "$out/mingw/vektamon.exe" "$out/mingw/vektalog/vektalog.exe" "$folder/"
cp "$qt/bin/Qt6Core.dll" "$qt/bin/Qt6Gui.dll" "$qt/bin/Qt6Widgets.dll" "$folder/"
cp "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll; do
  path=$("$triplet-g++-posix" -print-file-name="$dll")
  [ -f "$path" ] || { echo "$script_name: the compiler has no $dll" >&2; exit 1; }
  cp "$path" "$folder/"
done
cp "/usr/$triplet/lib/libwinpthread-1.dll" "$folder/"
# The compiler's runtime comes with its debugging information: 20 MB.
"$triplet-strip" --strip-unneeded "$folder"/*.exe "$folder"/lib*.dll

zip="$out/vektamon-$version-win64.zip"
rm -f "$zip"
(cd "$stage" && zip -q -r -X "$zip" vektamon)

# The uninstaller removes exactly what the installer laid down ($INSTDIR is
# NSIS's).
files_nsh="$out/installed-files.nsh"
# shellcheck disable=SC2016
(
  cd "$folder"
  find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
  find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|'
) >"$files_nsh"
setup="$out/vektamon-$version-win64-setup.exe"
rm -f "$setup"
makensis -V2 -DVERSION="$version" -DSOURCE="$folder" -DOUTFILE="$setup" -DFILES_NSH="$files_nsh" \
  packaging/windows/vektamon.nsi >&2

echo "$zip"
echo "$setup"
