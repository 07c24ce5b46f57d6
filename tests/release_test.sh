#!/bin/sh
# The release as a user receives it: an installation under a prefix, the
# Debian package and the archive, the manual page and the desktop entry.
# usage: release_test.sh CASE RUNDIR BUILDDIR SOURCEDIR VERSION
#   CASE: install | packages | manual   (install and packages need a display)
. "$(dirname "$0")/program_common.sh"
build=$3 src=$4 version=$5
programs="kelvane12 kelvane12-capture kelvane12-fixed kelvane12-meshinfo"
need_assets
case $work/ in "$src"/* | "$build"/*)
  echo "the temporary directory lies in the source or build tree, skipped"; exit 77 ;;
esac

# Installs the build into $work/prefix (cmake --install).
install_prefix() {
  cmake --install "$build" --prefix "$work/prefix" >"$work/install.txt" 2>&1 ||
    fail "cmake --install: $(tail -n 5 "$work/install.txt")"
}
# The option names (--xyz) a usage text on standard input mentions.
options_of() { grep -o -- '--[a-z][a-z-]*' | sort -u; }

case $case_name in
install)
  # Installed under a prefix and started from elsewhere, the programs tell
  # their version and usage and a capture reads its data from the prefix
  # alone: it enters prefix/share/kelvane12 and names no path of the source
  # or build tree. A relative KELVANE_RECORD is written where the show was
  # started. Moved away from its data, a program says where it looked.
  install_prefix
  [ "$(ls "$work/prefix/bin" | tr '\n' ' ')" = "$programs " ] ||
    fail "installed programs: $(ls "$work/prefix/bin" | tr '\n' ' '), expected $programs"
  # The data: everything the run directory holds but the programs.
  (cd "$run" && find . ! -name 'kelvane12*' | sort) >"$work/run.txt"
  (cd "$work/prefix/share/kelvane12" && find . | sort) >"$work/data.txt"
  cmp -s "$work/run.txt" "$work/data.txt" ||
    fail "installed data differs from the run directory: $(diff "$work/run.txt" "$work/data.txt" | head -n 5)"
  mkdir "$work/elsewhere" && cd "$work/elsewhere"
  for program in $programs; do
    out=$("$work/prefix/bin/$program" --version 2>&1)
    expect_status $? 0 "$program --version"
    [ "$out" = "$program $version" ] || fail "$program --version says '$out', expected '$program $version'"
  done
  for program in $programs; do
    for option in --version --help; do
      "$work/prefix/bin/$program" $option >/dev/full 2>"$work/err.txt"
      expect_status $? 1 "$program $option to a full disk"
    done
  done
  "$work/prefix/bin/kelvane12" --help >help.txt 2>"$work/err.txt"
  expect_status $? 0 "kelvane12 --help"
  expect help.txt "kelvane12 --help" "^usage: kelvane12" "--window"
  strace -f -qq -e trace=%file -o "$work/trace.txt" "$work/prefix/bin/kelvane12-capture" \
    --quick-start --from 37.5 --to 37.5 --fps 1 --size 320x180 --out frames 2>"$work/err.txt"
  expect_status $? 0 "installed capture under strace"
  [ -f frames/frame_000000.png ] || fail "the installed capture wrote no frame into $(pwd)/frames"
  grep -q "chdir(\"$work/prefix/share/kelvane12\")" "$work/trace.txt" ||
    fail "the capture did not enter prefix/share/kelvane12: $(grep chdir "$work/trace.txt")"
  grep -F -e "\"$src/" -e "\"$build/" "$work/trace.txt" >"$work/tree.txt" &&
    fail "the installed capture used the source or build tree: $(head -n 3 "$work/tree.txt")"

  # The show itself from the prefix: a relative recording is made here
  # when the recorder starts, and SIGTERM ends the show.
  SDL_AUDIODRIVER=dummy KELVANE_RECORD=rec.dat timeout -s KILL 120 \
    "$work/prefix/bin/kelvane12" --window >/dev/null 2>"$work/err.txt" &
  pid=$!
  for i in $(seq 200); do
    [ -e rec.dat ] || [ -e "$work/prefix/share/kelvane12/rec.dat" ] || ! kill -0 $pid 2>/dev/null && break
    sleep 0.5
  done
  kill -TERM $pid; wait $pid
  expect_status $? 143 "installed show ended by SIGTERM"
  [ -f rec.dat ] || fail "KELVANE_RECORD=rec.dat was not made in the start directory: $(cat "$work/err.txt")"

  # A program alone, and one whose installed data lost its pictures.
  mkdir -p "$work/alone/bin" && cp "$work/prefix/bin/kelvane12-capture" "$work/alone/bin/"
  "$work/alone/bin/kelvane12-capture" --out frames 2>"$work/err.txt"
  expect_status $? 1 "capture without its data"
  expect "$work/err.txt" "capture without its data" "cannot find the show's data" \
    "$work/alone/bin and $work/alone/share/kelvane12"
  [ "$(grep -c . "$work/err.txt")" -le 2 ] || fail "more than the one message: $(cat "$work/err.txt")"
  mv "$work/prefix/share/kelvane12/gfx" "$work/gfx"
  "$work/prefix/bin/kelvane12" 2>"$work/err.txt"
  expect_status $? 1 "installed show without its pictures"
  expect "$work/err.txt" "installed show without its pictures" "$work/prefix/share/kelvane12"
  ;;
packages)
  # CPack writes kelvane12_VERSION_ARCH.deb and kelvane12-VERSION-linux-
  # x86_64.tar.gz. The package names the libraries the programs need (the
  # README lists them for the archive) and holds the installed files under
  # /usr, without tests, benchmarks or kelvane12-fieldshot; the archive
  # unpacks into one folder whose ./kelvane12 and ./kelvane12-capture run.
  cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.txt" 2>&1 ||
    fail "cpack: $(tail -n 5 "$work/cpack.txt")"
  deb=$work/pkg/kelvane12_${version}_$(dpkg --print-architecture).deb
  top=kelvane12-$version-linux-$(uname -m)
  [ -f "$deb" ] && [ -f "$work/pkg/$top.tar.gz" ] || fail "packages: $(ls "$work/pkg")"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libglut3.12 libglew2.2 libsdl1.2debian libsdl-image1.2 libmpg123-0 libc6; do
    case ", $depends," in *", $library "*) ;; *) fail "the package does not depend on $library: $depends" ;; esac
  done
  # What the archive needs, as the README's apt line for it says: every
  # dependency (its first choice) but the C and C++ runtime of every system.
  apt_line=$(grep 'apt install .*libglut' "$src/README.md") || fail "README has no apt line for the archive"
  for package in $(echo "$depends" | tr ',' '\n' | awk '{ print $1 }'); do
    case $package in libc6 | libgcc-s1 | libstdc++6) continue ;; esac
    echo " $apt_line " | grep -q " $package " ||
      fail "README's apt line for the archive lacks $package (the package depends on: $depends)"
  done
  dpkg-deb --contents "$deb" | awk '{ print $6 }' >"$work/contents.txt"
  for file in ./usr/bin/kelvane12 ./usr/bin/kelvane12-fixed ./usr/bin/kelvane12-capture \
              ./usr/bin/kelvane12-meshinfo "./usr/share/kelvane12/q-lune" ./usr/share/kelvane12/keys.dat \
              ./usr/share/kelvane12/gfx/panel.png ./usr/share/kelvane12/Objects/glowa32.lwo \
              ./usr/share/kelvane12/shaders/ ./usr/share/kelvane12/dat/ ./usr/share/kelvane12/data/ \
              ./usr/share/doc/kelvane12/LICENSE ./usr/share/doc/kelvane12/copyright \
              ./usr/share/doc/kelvane12/README.md \
              ./usr/share/man/man6/kelvane12.6 ./usr/share/applications/kelvane12.desktop \
              ./usr/share/icons/hicolor/256x256/apps/kelvane12.png; do
    grep -q "^$file" "$work/contents.txt" || fail "the package lacks $file"
  done
  grep -E 'k12-|bench|fieldshot|assetgen' "$work/contents.txt" && fail "the package holds test or build programs"
  [ "$(grep -c '^\./usr/bin/.' "$work/contents.txt")" = 4 ] || fail "programs: $(grep '^\./usr/bin/' "$work/contents.txt")"
  grep -v -e '^\./$' -e '^\./usr/$' -e '^\./usr/bin/' -e '^\./usr/share/' "$work/contents.txt" >"$work/stray.txt" &&
    fail "the package holds files outside /usr/bin and /usr/share: $(head -n 3 "$work/stray.txt")"

  mkdir "$work/unpacked" && tar -xzf "$work/pkg/$top.tar.gz" -C "$work/unpacked" || fail "unpacking the archive"
  [ "$(ls "$work/unpacked")" = "$top" ] || fail "the archive unpacks into $(ls "$work/unpacked"), expected $top/"
  cd "$work/unpacked/$top"
  out=$(./kelvane12 --version 2>&1)
  [ "$out" = "kelvane12 $version" ] || fail "./kelvane12 --version in the archive says '$out'"
  ./kelvane12-capture --quick-start --from 37.5 --to 37.5 --fps 1 --size 320x180 --out frames 2>"$work/err.txt"
  expect_status $? 0 "capture from the archive"
  [ -f frames/frame_000000.png ] || fail "the capture from the archive wrote no frame"
  ;;
manual)
  # The manual page renders without a warning and describes every option of
  # the programs' usage; the desktop entry is valid and its icon
  # is drawn at the sizes it is installed at.
  install_prefix
  page=$work/prefix/share/man/man6/kelvane12.6
  [ -f "$page" ] || fail "no manual page in share/man/man6"
  groff -ww -man -Tutf8 -P-cbou "$page" >"$work/page.txt" 2>"$work/err.txt" || fail "groff failed: $(cat "$work/err.txt")"
  [ -s "$work/err.txt" ] && fail "groff warns about the manual page: $(head -n 5 "$work/err.txt")"
  expect "$work/page.txt" "manual page" "kelvane12 $version" "KELVANE_RECORD" "EXIT STATUS" "FILES"
  # The options that have an entry of their own (the line after each .TP).
  awk 'tag { print } { tag = ($0 == ".TP") }' "$page" | sed 's/\\-/-/g' | options_of >"$work/page-options.txt"
  for program in kelvane12 kelvane12-capture kelvane12-meshinfo; do
    "$work/prefix/bin/$program" --help | options_of | while read -r option; do
      grep -qx -- "$option" "$work/page-options.txt" || { echo "$option"; break; }
    done >"$work/missing.txt"
    [ -s "$work/missing.txt" ] && fail "the manual page lacks $program $(cat "$work/missing.txt")"
  done
  desktop-file-validate "$work/prefix/share/applications/kelvane12.desktop" >"$work/err.txt" 2>&1 ||
    fail "desktop entry: $(cat "$work/err.txt")"
  expect "$work/prefix/share/applications/kelvane12.desktop" "desktop entry" "^Exec=kelvane12$" "^Icon=kelvane12$"
  for size in 256 48; do
    icon=$work/prefix/share/icons/hicolor/${size}x$size/apps/kelvane12.png
    [ "$(identify -format '%m %wx%h' "$icon" 2>/dev/null)" = "PNG ${size}x$size" ] || fail "icon $icon"
  done
  ;;
*)
  echo "usage: release_test.sh install|packages|manual RUNDIR BUILDDIR SOURCEDIR VERSION" >&2
  exit 2
  ;;
esac
echo "ok: $case_name"
