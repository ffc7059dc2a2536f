#!/usr/bin/env bash
# Starts Velmar under a virtual X server (Xvfb) with fresh preferences and
# saves a screenshot of each tab into a folder, then one of the explorer tab
# during a download from a local demo site (a large file on a slowed-down
# line, so that the bar, the speed and the pie show), and one after a
# download of several files, both panes filled, the comparison of those two
# folders, and one of the quick-explorer
# tab listing the site after an upload of three files. The window has its
# first-run size of 755 x 576. For review; not a test.
#   scripts/screenshots.sh [OUTPUT_FOLDER]     (default: build/screenshots)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
out="${1:-$build/screenshots}"

tools=(Xvfb xdotool import)
packages=(xvfb xdotool imagemagick)
missing=()
for i in "${!tools[@]}"; do
  command -v "${tools[$i]}" >/dev/null || missing+=("${packages[$i]}")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installation des paquets manquants : ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
VELMAR_BUILD_TARGETS="velmar velmar-screenshot-download velmar-screenshot-quick" "$top/scripts/build.sh"
mkdir -p "$out"

display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "Aucun numéro d'affichage libre." >&2; exit 1; }

home="$(mktemp -d)"
site="$(mktemp -d)"
downloads="$(mktemp -d)"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
app_pid=""
shot_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$shot_pid" ] && kill "$shot_pid" 2>/dev/null || true
  [ -n "${SITE_PID:-}" ] && kill "$SITE_PID" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home" "$site" "$downloads"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 150); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# A fresh HOME: first-run preferences, nothing of the user's is touched.
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  "$build/app/velmar" >"$home/velmar.log" 2>&1 &
app_pid=$!

window=""
for _ in $(seq 100); do
  window="$(xdotool search --onlyvisible --name '^Velmar' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "La fenêtre de Velmar n'est pas apparue." >&2; cat "$home/velmar.log" >&2; exit 1; }
sleep 1

# Focus a control inside the tabs, then walk them with Ctrl+Tab (the
# disabled "Mise à jour" tab is skipped).
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH * 2 / 3)) $((HEIGHT / 3)) click 1
sleep 0.3
names=(1-explorateur 2-explorateur-rapide 4-parametres 5-programmation 6-a-propos)
for name in "${names[@]}"; do
  import -window "$window" "$out/$name.png"
  xdotool key --window "$window" ctrl+Tab
  sleep 0.5
done
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=""

# The demo site with a large file, sent at 1 MiB/s: the download lasts long
# enough to be seen under way.
cp -r "$top/demo/site/." "$site/"
truncate -s 24M "$site/grand-fichier.bin"
for i in $(seq 2000); do echo "ligne $i de la documentation du site"; done >"$site/documentation.txt"
config=$(printf '{"root": "%s", "anonymous_perm": "elr", "users": [{"name": "velmar", "password": "s3cret", "home": "", "perm": "elradfmwMT"}], "banner": "Site de demonstration Velmar", "verbose": false, "download_limit": 1048576}' "$site")
coproc SITE { /usr/bin/python3 "$top/tests/support/pyftpd_server.py" --config "$config" 2>/dev/null; }
port=""
while read -r -t 15 word value <&"${SITE[0]}"; do
  if [ "$word" = "PORT" ]; then port="$value"; break; fi
done
[ -n "$port" ] || { echo "Le site de démonstration n'a pas démarré." >&2; exit 1; }

# Runs a screenshot program (its arguments after the picture's name, the
# message on failure and the pause before the picture) with the fresh
# preferences, waits for its "READY", takes the window, and stops it.
shoot() {
  local picture="$1" failure="$2" settle="$3"
  shift 3
  local log="$home/${picture%.png}.log"
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" "$@" >"$log" 2>&1 &
  shot_pid=$!
  for _ in $(seq 600); do
    grep -q '^READY' "$log" 2>/dev/null && break
    kill -0 "$shot_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q '^READY' "$log" || { echo "$failure" >&2; cat "$log" >&2; exit 1; }
  sleep "$settle"
  window="$(xdotool search --onlyvisible --name '^Velmar' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] || { echo "La fenêtre de Velmar n'est pas apparue." >&2; exit 1; }
  import -window "$window" "$out/$picture"
  kill "$shot_pid" 2>/dev/null || true
  wait "$shot_pid" 2>/dev/null || true
  shot_pid=""
}

shoot 7-telechargement.png "Le téléchargement n'a pas démarré." 0 \
  "$build/tools/velmar-screenshot-download" 127.0.0.1 "$port" velmar s3cret grand-fichier.bin "$downloads"

# Several files fetched into a local folder that already holds a few: the
# remote list above, the local list below, both filled.
rm -rf "${downloads:?}"/*
mkdir -p "$downloads/Archives" "$downloads/Photos"
printf 'Liste des courses\n' >"$downloads/courses.txt"
printf 'Budget;2024\n' >"$downloads/budget.csv"
shoot 8-explorateur-apres-transfert.png "Le transfert n'a pas abouti." 0.5 \
  "$build/tools/velmar-screenshot-download" 127.0.0.1 "$port" velmar s3cret \
  'LISEZMOI.txt|documentation.txt' "$downloads" after

# The same two folders compared: the tab "Mise à jour" with a proposal for
# each difference (local files to send, site files to delete).
shoot 3-mise-a-jour.png "La comparaison n'a pas abouti." 0.5 \
  "$build/tools/velmar-screenshot-download" 127.0.0.1 "$port" velmar s3cret \
  'LISEZMOI.txt|documentation.txt' "$downloads" compare

# The quick-explorer tab: three files of a local folder uploaded into the
# site's root on the panel's worker, the panel listing the root again.
uploads="$home/envois"
mkdir -p "$uploads"
head -c 300000 /dev/urandom >"$uploads/rapport-annuel.pdf"
head -c 1200000 /dev/urandom >"$uploads/photo-equipe.jpg"
for i in $(seq 400); do echo "note $i"; done >"$uploads/notes-de-version.txt"
shoot 9-explorateur-rapide-apres-envoi.png "L'envoi n'a pas abouti." 0.5 \
  "$build/tools/velmar-screenshot-quick" 127.0.0.1 "$port" velmar s3cret "$uploads" \
  rapport-annuel.pdf photo-equipe.jpg notes-de-version.txt

echo "Captures d'écran dans $out"
ls "$out"
