# Sourced by the CI stages: ci_install PACKAGE... installs those not yet installed (as root,
# from Debian's apt), so that each stage also runs by itself on a fresh machine.
# ci_setup_packages prints setup.sh's list, the packages the main build and tests need.
# ci_apt_options, if set, goes to apt-get install (e.g. --no-install-recommends).
ci_setup_packages() {
  sed -n '/^packages=(/,/)/p' setup.sh | tr -d '()' | sed 's/packages=//'
}
ci_install() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "ci: installing ${missing[*]}" >&2
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ${ci_apt_options:-} "${missing[@]}" >/dev/null
  fi
}
