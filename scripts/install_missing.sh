# Sourced by the project's scripts: installs the Debian packages named as
# arguments (the ones a script found missing), as root, or says which are
# missing and stops. Nothing happens when no package is named.
install_missing() {
  (($#)) || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: $* (install them, or run as root)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" >/dev/null || exit 1
}
