#!/usr/bin/env bash
# Starts Velmar under a virtual X server (Xvfb) with fresh preferences and
# saves a screenshot of each tab into a folder, for review. Not a test.
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
[ -x "$build/app/velmar" ] || "$top/scripts/build.sh"
mkdir -p "$out"

display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "Aucun numéro d'affichage libre." >&2; exit 1; }

home="$(mktemp -d)"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$home"
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

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
echo "Captures d'écran dans $out"
ls "$out"
