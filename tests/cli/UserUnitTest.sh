#!/usr/bin/env bash
# The systemd user unit of `korvane-cam autostart` as an installation leaves it: it starts the
# installed program's watcher, the installation enables nothing, and systemd-analyze verify
# accepts it where systemd is installed.
# Usage: UserUnitTest.sh BUILD_DIR
set -euo pipefail
build=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  exit 1
fi

status=0
fail() {
  echo "FAIL: $*" >&2
  status=1
}

unit=$prefix/lib/systemd/user/korvane-cam-restore.service
[[ -s $unit ]] || { echo "FAIL: nothing installed as $unit" >&2; exit 1; }
grep -qx "ExecStart=$prefix/bin/korvane-cam restore --watch" "$unit" ||
  fail "the unit does not start the installed watcher: $(grep ExecStart "$unit")"
grep -qx "WantedBy=default.target" "$unit" || fail "the unit is not wanted by the login's target"
if find "$prefix" -name '*.wants' | grep -q .; then
  fail "installing enabled the unit: $(find "$prefix" -name '*.wants')"
fi
((status == 0)) || exit $status

if ! command -v systemd-analyze >/dev/null; then
  echo "SKIP: systemd-analyze is not installed (Debian package systemd), so the unit is not verified"
  exit 77
fi
mkdir -m 700 "$work/run"
manual=(--man=no)
if command -v man >/dev/null; then
  manual=(--man=yes)
else
  echo "Not checking the unit's manual page: man is not installed"
fi
XDG_RUNTIME_DIR=$work/run MANPATH=$prefix/share/man \
  systemd-analyze --user "${manual[@]}" verify "$unit" || fail "systemd-analyze verify refuses the unit"
exit $status
