# Installs the Debian packages named as arguments when any is missing.
# Sourced by ./run and ./test; idempotent; uses sudo when not root.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Packages the native build and its tests need.
NATIVE_PACKAGES=(cmake make g++ libgtest-dev)

# Packages that build the Windows program, run it under Wine in a virtual
# display with Japanese fonts, and unpack its release archive.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic locales unzip)

# A Japanese input method server for X and its conversion engine, through
# which the Wine tests type names as users do.
INPUT_METHOD_PACKAGES=(uim-xim uim-anthy)

# Packages the fuzz targets need: clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
