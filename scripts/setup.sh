#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing.
# Idempotent and non-interactive; safe to run on every build.
# As root it installs them with apt-get; as another user through sudo, which
# may ask for the user's password. Where neither can install them (no sudo,
# or sudo refused), it names the missing packages and the one command an
# administrator runs, and exits 3. Exit 0 when every package is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cannot_install=3
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/packages.txt")
missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

ask_an_administrator() {  # ask_an_administrator <why>
  echo "setup: $1; these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: an administrator installs them with:" >&2
  echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
  exit $cannot_install
}

# apt-get update, then the install, run through the command given (empty for
# root's own); false when either fails.
install_through() {
  "$@" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
    "$@" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

if [ "$(id -u)" -eq 0 ]; then
  echo "setup: installing ${missing[*]}"
  install_through || ask_an_administrator "apt-get could not install them"
elif command -v sudo >/dev/null 2>&1; then
  echo "setup: installing ${missing[*]} through sudo, which may ask for your password"
  install_through sudo || ask_an_administrator "sudo could not install them"
else
  ask_an_administrator "this user is not root and there is no sudo to install them"
fi
