#!/usr/bin/env bash
# Builds this build's Debian package, unpacks it into a temporary root and
# checks it as a user would get it: the file list, the installed command
# line, the manual pages, the desktop entry, the metainfo and lintian.
#
#   package_test.sh CPACK BUILD_DIR SUFFIX VERSION
set -euo pipefail
cpack=$1
build=$2
suffix=$3
version=$4
pkg=halvbsl$suffix

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# --- Build the package from the built tree -------------------------------
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack could not build the package" >&2
  exit 1
fi
debs=("$work"/out/*.deb)
if [[ ${#debs[@]} -ne 1 || ! -f ${debs[0]} ]]; then
  echo "FAIL: expected one .deb in $work/out, found: ${debs[*]}" >&2
  exit 1
fi
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "${pkg}_${version}_${arch}.deb" ]] ||
  fail "package file is named $(basename "$deb")"

# --- Control fields -------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == "$pkg" ]] || fail "Package is '$(field Package)', not $pkg"
[[ $(field Version) == "$version" ]] || fail "Version is '$(field Version)', not $version"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ -n $(field Section) ]] || fail "no Section"
depends=$(field Depends)
# The window links Qt Widgets and Network: dpkg-shlibdeps must have found them.
for lib in libqt6core6 libqt6widgets6 libqt6network6 libc6 qt6-qpa-plugins; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
# Lists go to files before grep -q reads them: with pipefail, grep -q leaving
# early would fail the writer of the pipe with SIGPIPE.
dpkg-deb --ctrl-tarfile "$deb" | tar -t >"$work/control-files"
grep -qx './postinst' "$work/control-files" || fail "no postinst"
grep -qx './postrm' "$work/control-files" || fail "no postrm"

# --- File list: exactly these files, every one carrying the suffix --------
appstream_id=example.quorrin.${pkg//-/_}
expected=(
  "./usr/bin/$pkg"
  "./usr/bin/$pkg-cli"
  "./usr/bin/halvsim$suffix"
  "./usr/lib/udev/rules.d/60-$pkg.rules"
  "./usr/share/applications/$pkg.desktop"
  "./usr/share/metainfo/$appstream_id.metainfo.xml"
  "./usr/share/icons/hicolor/scalable/apps/$pkg.svg"
  "./usr/share/man/man1/$pkg.1.gz"
  "./usr/share/man/man1/$pkg-cli.1.gz"
  "./usr/share/man/man1/halvsim$suffix.1.gz"
  "./usr/share/doc/$pkg/copyright"
  "./usr/share/doc/$pkg/changelog.gz"
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$pkg.png")
done
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort >"$work/actual"
if ! diff -u "$work/expected" "$work/actual" >"$work/files.diff"; then
  cat "$work/files.diff" >&2
  fail "the package's files differ from the expected list"
fi
# Owned by root, programs executable, nothing writable by others.
dpkg-deb --fsys-tarfile "$deb" | tar -tv | awk '$2 != "root/root" { print }' >"$work/owners"
[[ ! -s $work/owners ]] || fail "files not owned by root: $(cat "$work/owners")"

# --- Unpacked programs ------------------------------------------------------
root=$work/root
dpkg-deb -x "$deb" "$root"
for exe in "$pkg" "$pkg-cli" "halvsim$suffix"; do
  [[ -x $root/usr/bin/$exe ]] || fail "/usr/bin/$exe is not executable"
  ldd "$root/usr/bin/$exe" >"$work/ldd" 2>&1 || true
  if grep -q 'not found' "$work/ldd"; then
    fail "/usr/bin/$exe misses libraries: $(grep 'not found' "$work/ldd")"
  fi
  file "$root/usr/bin/$exe" >"$work/file"
  if grep -q 'not stripped' "$work/file"; then
    fail "/usr/bin/$exe is not stripped"
  fi
done
if ! "$root/usr/bin/$pkg-cli" --help >"$work/cli-help" 2>&1; then
  fail "the installed $pkg-cli --help failed: $(cat "$work/cli-help")"
fi
grep -q 'Exit status:' "$work/cli-help" || fail "$pkg-cli --help lists no exit statuses"
"$root/usr/bin/halvsim$suffix" --help >/dev/null 2>&1 || fail "the installed halvsim$suffix --help failed"

# --- Manual pages: named after the installed programs, and readable --------
for page in "$pkg" "$pkg-cli" "halvsim$suffix"; do
  file=$root/usr/share/man/man1/$page.1.gz
  if ! LC_ALL=C MANWIDTH=80 man -l "$file" >"$work/man.txt" 2>"$work/man.err"; then
    fail "$page.1 does not format: $(cat "$work/man.err")"
  elif [[ -s $work/man.err ]]; then
    fail "$page.1 formats with warnings: $(cat "$work/man.err")"
  fi
  grep -A1 '^NAME' "$work/man.txt" >"$work/man-name" || true
  grep -q "^ *$page - " "$work/man-name" || fail "$page.1 is not named $page"
done
# The command line's page comes from its --help: the exit statuses are in it.
zcat "$root/usr/share/man/man1/$pkg-cli.1.gz" >"$work/cli-page"
grep -q 'Exit status' "$work/cli-page" ||
  fail "$pkg-cli.1 lacks the help text's exit statuses"
if [[ -n $suffix ]]; then
  # The help texts name the plain programs; the pages name the installed ones.
  if grep -q 'halvbsl\\-cli' "$work/cli-page"; then
    fail "$pkg-cli.1 still names halvbsl-cli"
  fi
fi

# --- Desktop entry, metainfo, udev rule -------------------------------------
desktop=$root/usr/share/applications/$pkg.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refused $pkg.desktop"
grep -qx "Exec=$pkg" "$desktop" || fail "$pkg.desktop does not start $pkg"
grep -qx "Icon=$pkg" "$desktop" || fail "$pkg.desktop does not name the icon $pkg"
grep -q '^Name=.* Firmware Updater$' "$desktop" || fail "$pkg.desktop has no updater name"
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net --explain "$root/usr/share/metainfo/$appstream_id.metainfo.xml" ||
    fail "appstreamcli refused the metainfo"
fi
rule=$root/usr/lib/udev/rules.d/60-$pkg.rules
grep -q 'GROUP="dialout"' "$rule" || fail "the udev rule does not give the adapter to dialout"
grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' "$rule" || fail "the udev rule does not keep ModemManager off"

# --- lintian: no errors (warnings allowed) --------------------------------
# No tag is suppressed: the package carries its copyright file and changelog
# as a Debian-built one would, and its programs are stripped. A tag that
# cannot apply to a package made by CPack outside a Debian source package
# would go here with --suppress-tags, each with its reason.
if command -v lintian >/dev/null 2>&1; then
  if ! lintian --fail-on error --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian found errors"
  fi
  grep -E '^[WE]: ' "$work/lintian.log" || true
else
  fail "lintian is not installed (tools/bootstrap.sh installs it)"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed for $(basename "$deb")" >&2
  exit 1
fi
echo "ok: $(basename "$deb")"
