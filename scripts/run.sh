#!/bin/bash
# Installs what is missing, builds, and runs zt-devserver on 127.0.0.1:1433.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
mkdir -p build
scripts/build.sh build
exec build/bin/zt-devserver --listen 127.0.0.1:1433 --data devserver-data
