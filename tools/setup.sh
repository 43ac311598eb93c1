# Shared by ./run and ./test: install what the build needs, then configure and build.
# Sourced, not run.

VANTREL_PACKAGES="cmake ninja-build pkg-config g++ libzip-dev zipcmp zipmerge ziptool zlib1g-dev \
libgtest-dev libgmock-dev zip unzip"

vantrel_install_missing() {
  local missing=()
  for pkg in $VANTREL_PACKAGES; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

vantrel_build() {
  local build_dir="$1"
  local generator=()
  command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo || return 1
  fi
  cmake --build "$build_dir" -j "$(nproc)"
}
