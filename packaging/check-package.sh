#!/usr/bin/env bash
# Checks a built vren-kesto-configurator .deb the way an installing machine
# would see it: its files and their modes, its control fields and maintainer
# scripts, the programs it carries, and lintian's verdict.
# Usage: bash packaging/check-package.sh PACKAGE.deb
set -uo pipefail

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 PACKAGE.deb" >&2
  exit 2
fi
DEB=$(realpath "$1")
NAME=vren-kesto-configurator

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ROOT=$WORK/root
CONTROL=$WORK/control

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1"; }
# check DESCRIPTION COMMAND...: the command's success is the check's.
check() {
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

if ! dpkg-deb -x "$DEB" "$ROOT" || ! dpkg-deb -e "$DEB" "$CONTROL"; then
  fail "dpkg-deb unpacks $DEB"
  echo "$passed passed, $failed failed"
  exit 1
fi
pass "dpkg-deb unpacks $DEB"

field() { dpkg-deb -f "$DEB" "$1"; }
VERSION=$(field Version)

# ---------------------------------------------------------------- files
# What the package holds, with the mode each entry must have; anything else
# in it (a test program, the demo bench, a stray build file) is a fault.
declare -A EXPECTED=(
  [usr/bin/VREN_Kesto_Configurator]=-rwxr-xr-x
  [usr/bin/vren-kesto]=-rwxr-xr-x
  [usr/lib/udev/rules.d/70-vren-kesto.rules]=-rw-r--r--
  [usr/share/applications/$NAME.desktop]=-rw-r--r--
  [usr/share/icons/hicolor/scalable/apps/$NAME.svg]=-rw-r--r--
  [usr/share/man/man1/VREN_Kesto_Configurator.1.gz]=-rw-r--r--
  [usr/share/man/man1/vren-kesto.1.gz]=-rw-r--r--
  [usr/share/doc/$NAME/copyright]=-rw-r--r--
  [usr/share/doc/$NAME/changelog.gz]=-rw-r--r--
)

declare -A LISTED=()
bad_entries=()
while read -r perms owner _size _date _time path _rest; do
  path=${path#./}
  path=${path%/}
  [ -n "$path" ] || continue
  [ "$owner" = root/root ] || bad_entries+=("$path is owned by $owner")
  case $perms in
    d*) [ "$perms" = drwxr-xr-x ] || bad_entries+=("folder $path has mode $perms") ;;
    *)
      LISTED[$path]=$perms
      if [ -z "${EXPECTED[$path]:-}" ]; then
        bad_entries+=("unexpected file $path")
      elif [ "$perms" != "${EXPECTED[$path]}" ]; then
        bad_entries+=("$path has mode $perms, not ${EXPECTED[$path]}")
      fi
      ;;
  esac
done < <(dpkg-deb -c "$DEB")

for path in "${!EXPECTED[@]}"; do
  if [ -n "${LISTED[$path]:-}" ]; then pass "holds /$path (${EXPECTED[$path]})"; else fail "holds /$path"; fi
done
if [ ${#bad_entries[@]} -eq 0 ]; then
  pass "no other files, folders 0755, everything owned by root"
else
  fail "file list: $(printf '%s; ' "${bad_entries[@]}")"
fi

# Programs are stripped ELF executables.
for prog in VREN_Kesto_Configurator vren-kesto; do
  f=$ROOT/usr/bin/$prog
  [ -f "$f" ] || continue
  desc=$(file -b "$f")
  check "/usr/bin/$prog is a stripped ELF executable" \
    bash -c '[[ $1 == ELF*executable* && $1 == *", stripped"* ]]' _ "$desc"
done

# The tool starts from the unpacked tree with this machine's libraries and
# tells the package's version.
if [ -x "$ROOT/usr/bin/vren-kesto" ]; then
  out=$("$ROOT/usr/bin/vren-kesto" --version 2>&1)
  check "vren-kesto --version says $VERSION (it said: $out)" \
    bash -c '[[ $1 == *"$2"* ]]' _ "$out" "$VERSION"
fi

# Compressed the way lintian wants: gzip -9 without name or time stamp
# (FLG without FNAME, MTIME 0, XFL 2 = best compression).
for gz in usr/share/man/man1/VREN_Kesto_Configurator.1.gz usr/share/man/man1/vren-kesto.1.gz \
          usr/share/doc/$NAME/changelog.gz; do
  f=$ROOT/$gz
  [ -f "$f" ] || continue
  header=$(od -An -tx1 -N10 "$f" | tr -d ' \n')
  flg=$((16#${header:6:2}))
  check "/$gz is gzip -9n" bash -c '
    gzip -t "$1" && [ "${2:0:4}" = 1f8b ] && [ $(($3 & 8)) -eq 0 ] &&
    [ "${2:8:8}" = 00000000 ] && [ "${2:16:2}" = 02 ]' _ "$f" "$header" "$flg"
done

# The man pages name their program.
for page in VREN_Kesto_Configurator vren-kesto; do
  f=$ROOT/usr/share/man/man1/$page.1.gz
  [ -f "$f" ] || continue
  check "man page $page(1) names $page" \
    bash -c 'zcat "$1" | grep -A1 "^\.SH NAME" | tail -1 | sed "s/\\\\-/-/g" | grep -q "^$2 -"' _ "$f" "$page"
done

# The changelog's newest entry is this version.
if [ -f "$ROOT/usr/share/doc/$NAME/changelog.gz" ]; then
  top=$(zcat "$ROOT/usr/share/doc/$NAME/changelog.gz" | head -1)
  check "changelog's newest entry is $NAME ($VERSION) (it is: $top)" \
    bash -c '[[ $1 == "$2 ($3) "* ]]' _ "$top" "$NAME" "$VERSION"
fi

# The udev rule tags the writers for the seat and opens them to nobody else.
rule=$ROOT/usr/lib/udev/rules.d/70-vren-kesto.rules
if [ -f "$rule" ]; then
  check "udev rule tags 2f1a:0018 uaccess, without MODE or ACTION" bash -c '
    grep -v "^#" "$1" | grep -q "ATTRS{idVendor}==\"2f1a\", ATTRS{idProduct}==\"0018\", TAG+=\"uaccess\"" &&
    ! grep -v "^#" "$1" | grep -Eq "MODE|ACTION"' _ "$rule"
fi

desktop=$ROOT/usr/share/applications/$NAME.desktop
if [ -f "$desktop" ]; then
  check "desktop file starts VREN_Kesto_Configurator with the package's icon" bash -c '
    grep -qx "Exec=VREN_Kesto_Configurator" "$1" && grep -qx "Icon=$2" "$1"' _ "$desktop" "$NAME"
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
  else
    echo "SKIP: desktop-file-validate (install desktop-file-utils)"
  fi
fi

# ---------------------------------------------------------------- control
check "Package is $NAME" test "$(field Package)" = "$NAME"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libusb-1.0-0 libusb-0.1-4 libudev1; do
  check "Depends names $lib with a version" bash -c '[[ ", $1" == *", $2 (>= "* ]]' _ "$depends" "$lib"
done

# Maintainer scripts: executable shell scripts that stop on errors, reload
# udev only where it runs, and never fail the installation when udevadm does.
STUB=$WORK/stub
mkdir -p "$STUB"
cat > "$STUB/udevadm" <<'EOF'
#!/bin/sh
echo "$*" >> "$UDEVADM_LOG"
exit 1
EOF
chmod +x "$STUB/udevadm"
for script in postinst postrm; do
  f=$CONTROL/$script
  if [ ! -f "$f" ]; then fail "control holds $script"; continue; fi
  check "$script is 0755, #!/bin/sh, set -e, valid sh" bash -c '
    [ "$(stat -c %a "$1")" = 755 ] && [ "$(head -1 "$1")" = "#!/bin/sh" ] &&
    grep -qx "set -e" "$1" && sh -n "$1"' _ "$f"
  arg=configure
  [ $script = postrm ] && arg=remove
  log=$WORK/$script.udevadm
  : > "$log"
  if ! UDEVADM_LOG=$log PATH=$STUB:$PATH sh "$f" "$arg"; then
    fail "$script $arg succeeds though udevadm fails"
    continue
  fi
  if [ -d /run/udev/control ] || [ -S /run/udev/control ]; then
    check "$script $arg reloads the rules and triggers the writers" bash -c '
      grep -qx "control --reload-rules" "$1" &&
      grep -qx "trigger --subsystem-match=usb --attr-match=idVendor=2f1a" "$1"' _ "$log"
  else
    check "$script $arg leaves udevadm alone where udev does not run" test ! -s "$log"
  fi
done
log=$WORK/upgrade.udevadm
: > "$log"
check "postrm upgrade neither fails nor calls udevadm" bash -c '
  UDEVADM_LOG=$1 PATH=$2:$PATH sh "$3" upgrade "$4" && [ ! -s "$1" ]' _ "$log" "$STUB" "$CONTROL/postrm" "$VERSION"

# ---------------------------------------------------------------- lintian
if command -v lintian >/dev/null; then
  echo "--- lintian $DEB"
  lintian_args=(--fail-on error --display-info)
  # CI runs as root; lintian only warns about it.
  [ "$(id -u)" -eq 0 ] && lintian_args+=(--allow-root)
  if lintian "${lintian_args[@]}" "$DEB"; then
    pass "lintian reports no error"
  else
    fail "lintian reports errors"
  fi
else
  fail "lintian is installed"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
