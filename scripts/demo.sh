#!/usr/bin/env bash
# Starts the local demo FTP site (pyftpdlib on 127.0.0.1, a port of its
# choice, serving a copy of demo/site) and runs Velmar against it from a
# folder of its own: a copy of the program whose velmar.ini holds the demo's
# profile alone, with preferences and listing cache of its own, all removed
# when the demo ends. The user's own sites and preferences are never
# touched. Without a display it runs the console client against the site.
#   scripts/demo.sh BUILD_DIR
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
demo_name="Démo Velmar (local)"

work="$(mktemp -d)"
site="$work/site"
mkdir -p "$site"
cp -r "$top/demo/site/." "$site/"
config=$(printf '{"root": "%s", "anonymous_perm": "elradfmwMT", "users": [{"name": "velmar", "password": "s3cret", "home": "", "perm": "elradfmwMT"}], "banner": "Site de demonstration Velmar", "verbose": false}' "$site")

# The server stops when its standard input closes, i.e. when this script ends.
coproc DEMO { /usr/bin/python3 "$top/tests/support/pyftpd_server.py" --config "$config" 2>/dev/null; }
cleanup() { kill "$DEMO_PID" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

port=""
while read -r -t 15 word value <&"${DEMO[0]}"; do
  if [ "$word" = "PORT" ]; then port="$value"; break; fi
done
[ -n "$port" ] || { echo "Le site de démonstration n'a pas démarré." >&2; exit 1; }
echo "Site de démonstration : ftp://127.0.0.1:$port/ (anonyme, ou velmar / s3cret)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Pas d'affichage graphique (ni DISPLAY ni WAYLAND_DISPLAY) : Velmar en mode console."
  "$build/tools/velmar-console" 127.0.0.1 "$port" velmar s3cret
  exit $?
fi

# The program keeps velmar.ini beside itself: a copy in the demo's folder
# has a velmar.ini of its own.
program="$work/programme"
mkdir -p "$program" "$work/config" "$work/cache"
cp "$build/app/velmar" "$program/velmar"
[ -f "$build/app/aide.html" ] && cp "$build/app/aide.html" "$program/aide.html"
if ini="$("$build/tools/velmar-profile" "$program/velmar" "$demo_name" 127.0.0.1 "$port" velmar s3cret)"; then
  echo "Profil « $demo_name » prêt (dans $ini, supprimé à la fin de la démonstration)."
  echo "Cliquez sur Connexion dans l'onglet Explorateur."
else
  echo "Le profil de démonstration n'a pas pu être enregistré ; saisissez 127.0.0.1, port $port, velmar / s3cret." >&2
fi
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" "$program/velmar"
