#!/usr/bin/env bash
# Starts the local demo FTP site (pyftpdlib on 127.0.0.1, a port of its
# choice, serving a copy of demo/site), makes a profile for it available in
# Velmar's site list and runs Velmar. Without a display it runs the console
# client against the site instead.
#   scripts/demo.sh BUILD_DIR
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$top/build}"
demo_name="Démo Velmar (local)"

site="$(mktemp -d)"
cp -r "$top/demo/site/." "$site/"
config=$(printf '{"root": "%s", "anonymous_perm": "elradfmwMT", "users": [{"name": "velmar", "password": "s3cret", "home": "", "perm": "elradfmwMT"}], "banner": "Site de demonstration Velmar", "verbose": false}' "$site")

# The server stops when its standard input closes, i.e. when this script ends.
coproc DEMO { /usr/bin/python3 "$top/tests/support/pyftpd_server.py" --config "$config" 2>/dev/null; }
cleanup() { kill "$DEMO_PID" 2>/dev/null || true; rm -rf "$site"; }
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

# Only the demo's own profile is added or updated; the user's stay as they are.
if ini="$("$build/tools/velmar-profile" "$build/app/velmar" "$demo_name" 127.0.0.1 "$port" velmar s3cret)"; then
  echo "Profil « $demo_name » enregistré dans $ini."
  echo "Dans l'onglet Paramètres, choisissez « $demo_name » dans la liste Sites Ftp,"
  echo "puis cliquez sur Connexion dans l'onglet Explorateur."
else
  echo "Le profil de démonstration n'a pas pu être enregistré ; saisissez 127.0.0.1, port $port, velmar / s3cret." >&2
fi
"$build/app/velmar"
