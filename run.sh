#!/usr/bin/env bash
# Installs what is missing, builds, registers the player control when the user's registry
# lacks it, then starts the editor: on the sample hypervideo made by the build unless other
# arguments are given.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/configure.sh build
cmake --build build -j2

registry=${QXM_REGISTRY:-${XDG_DATA_HOME:-$HOME/.local/share}/qxm/registry}
module="$PWD/build/lib/libqxmovie.so"
# The control's class must be registered with this build's module.
if ! grep -A2 -F '[class {EEF2E1E9-165E-478E-8C0D-EFF679A09B1E}]' "$registry" 2>/dev/null |
    grep -qF "module = \"$module\""; then
  build/bin/qxmregsvr "$module" >/dev/null
fi

if [ $# -gt 0 ]; then
  exec build/bin/qxmedit "$@"
fi
exec build/bin/qxmedit "$PWD/build/share/sample/sample.avi"
