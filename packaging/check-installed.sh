#!/usr/bin/env bash
# Checks the installed Debian package as a user meets it: plovane-run from the PATH, the demo
# project run on a fresh home folder, the installation left as the package put it there.
# Runs as root (CI); the programs then run as "nobody", for whom the installation is read-only.
set -euo pipefail

program_folder=/usr/lib/plovane
command -v plovane-run >/dev/null || { echo "plovane-run is not on the PATH" >&2; exit 1; }
[ "$(readlink -f "$(command -v plovane-run)")" = "$program_folder/plovane-run" ] ||
  { echo "plovane-run does not lead to $program_folder" >&2; exit 1; }

home=$(mktemp -d /tmp/plovane-home-XXXXXX)
trap 'rm -rf "$home"' EXIT
data_root="$home/Documents/Kestrin/Plovane 3"
# The demo works below the data folder, outside the temp folders of the human safe mode, and
# plovane-run answers "no" to creating its work folder.
mkdir -p "$data_root/config" "$data_root/data/demos/website/output"
printf '[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n' > "$data_root/config/options.ini"

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$home"
  chmod 755 "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
run() { env -i PATH="$PATH" HOME="$home" LANG=C.UTF-8 "${as_user[@]}" "$@"; }

echo "== plovane-run --help"
(cd "$home" && run plovane-run --help)

echo "== the demo project on a fresh home folder"
(cd "$home" && run plovane-run --list-plugins) | cut -f1,2
[ -f "$data_root/data/demos/website/website.plv" ] ||
  { echo "the data root was not seeded from $program_folder" >&2; exit 1; }
(cd "$home" && run plovane-run "$data_root/data/demos/website/website.plv")
for f in index.htm photos/gallery.htm; do
  [ -f "$data_root/data/demos/website/output/$f" ] || { echo "the batch made no $f" >&2; exit 1; }
done
echo "== the same project through the window program, hidden, as the desktop entry starts it"
(cd "$home" && run plovane ":$data_root/data/demos/website/website.plv" -hide)
[ "$(ls "$data_root/logs/batches/" | wc -l)" -eq 2 ] || { echo "the window program ran no batch" >&2; exit 1; }
ls "$data_root/logs/batches/"

echo "== the installation is as the package put it"
dpkg --verify plovane
extra=$(comm -13 <(dpkg -L plovane | sort) <(find "$program_folder" | sort))
[ -z "$extra" ] || { echo "files in $program_folder the package did not install:" >&2; echo "$extra" >&2; exit 1; }
grep -q 'application/x-plovane-project:\*\.plv' /usr/share/mime/globs2 ||
  { echo "the MIME database does not know project files" >&2; exit 1; }
echo "installed package checked"
