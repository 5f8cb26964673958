#!/bin/sh
# Runs the browser tests. A fresh clone has no node_modules: install the locked
# packages first (playwright-core and axe-core from the npm registry).
set -eu
cd "$(dirname "$0")"
if [ ! -f node_modules/playwright-core/package.json ] || [ ! -f node_modules/axe-core/axe.min.js ]; then
  npm ci --no-audit --no-fund --loglevel=error
fi
exec node --test --test-concurrency=1 --test-reporter=spec "$@" ./*.test.mjs
