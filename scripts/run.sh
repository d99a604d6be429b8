#!/bin/bash
# Installs what is missing, builds, starts zt-devserver on 127.0.0.1:1433 in the background
# and opens the wizard zt-wizard against it; the server stops when the wizard ends.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
mkdir -p build
scripts/build.sh build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<'MESSAGE'
run.sh: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), so the
wizard's window cannot be shown. The build is done. Either run this from a desktop session,
or run it inside a virtual X server (nothing will be visible, but the wizard runs):

    xvfb-run -a bash scripts/run.sh

To use only the development server: build/bin/zt-devserver --listen 127.0.0.1:1433
MESSAGE
    exit 1
fi

build/bin/zt-devserver --listen 127.0.0.1:1433 --data devserver-data &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
# Wait until it accepts connections, or report why it could not start (e.g. port in use).
for _ in $(seq 50); do
    if ! kill -0 "$server" 2>/dev/null; then
        wait "$server" || true
        echo "run.sh: zt-devserver did not start (see its message above)." >&2
        exit 1
    fi
    if (exec 3<>/dev/tcp/127.0.0.1/1433) 2>/dev/null; then
        break
    fi
    sleep 0.2
done
echo "zt-devserver listens on 127.0.0.1:1433 (login sa, empty password)."
echo "In the wizard: server name 127.0.0.1, \"使用指定的用户和密码\", user sa, empty password."
build/bin/zt-wizard
