#!/usr/bin/env bash
# Installs what is missing, builds, then starts the main program.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
if [ -x build/bin/qxmedit ]; then
  exec build/bin/qxmedit "$@"
fi
# Until the editor exists: the player control demo on the sample hypervideo made by the build.
if [ -x build/bin/qxm-control-demo ] && [ -f build/share/sample/sample.avi ]; then
  exec build/bin/qxm-control-demo "$@" build/share/sample/sample.avi
fi
echo "Built programs (build/bin):"
ls -1 build/bin
echo "Built libraries (build/lib):"
ls -1 build/lib
