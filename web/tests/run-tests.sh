#!/usr/bin/env bash
# Runs the web player's tests for CTest.
#   run-tests.sh reader    the anchor reader on the shared corpus (node only)
#   run-tests.sh browser   the element in headless Chromium (installs puppeteer-core with npm ci
#                          into $QXM_WEB_WORK/node, from npm's cache when it can)
# Exit 77 (skipped) only when node or Chromium is missing after the project's install script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
web=$(dirname "$here")

if ! command -v node >/dev/null 2>&1; then
  echo "web tests skipped: node is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi

case "${1:-}" in
reader)
  exec node --test "$here/corpus.test.mjs"
  ;;
browser)
  chromium=${QXM_CHROMIUM:-$(command -v chromium || command -v chromium-browser || true)}
  if [ -z "$chromium" ]; then
    echo "web browser tests skipped: Chromium is not installed and scripts/install-deps.sh" \
         "could not install it (Debian package chromium)"
    exit 77
  fi
  work=${QXM_WEB_WORK:?QXM_WEB_WORK must name the build folder of web/}
  mkdir -p "$work/node"
  # Install the development tools only when the lock file changed since the last install.
  if ! cmp -s "$web/package-lock.json" "$work/node/package-lock.json" ||
     [ ! -d "$work/node/node_modules/puppeteer-core" ]; then
    cp "$web/package.json" "$web/package-lock.json" "$work/node/"
    export PUPPETEER_SKIP_DOWNLOAD=1
    (cd "$work/node" &&
      { npm ci --offline --no-audit --no-fund --loglevel=error ||
        npm ci --no-audit --no-fund --loglevel=error; })
  fi
  export QXM_CHROMIUM="$chromium" QXM_WEB_NODE_MODULES="$work/node/node_modules"
  exec node --test "$here/element.test.mjs"
  ;;
*)
  echo "usage: run-tests.sh reader|browser" >&2
  exit 2
  ;;
esac
