# Debian packages the project needs, and their installation (only the
# missing ones). Sourced by scripts/test, scripts/demo, scripts/bench and
# scripts/fuzz.

QAV_PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libsnmp-dev snmp snmpd snmptrapd snmpsim # SNMP engine, command-line peers, simulator of recordings
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev                  # window layer
  libcurl4-openssl-dev                    # SMTP and FTP
  python3-aiosmtpd python3-pyftpdlib      # mail and FTP peers for the tests
  dbus dbus-bin xvfb xauth libglib2.0-bin # session bus, a display and the desktop launcher for the tests
  iproute2                                # network namespaces for the broadcast test
  dpkg-dev file                           # the Debian package: cpack finds its dependencies with dpkg-shlibdeps and file
  trayer xdotool                          # a system tray and a pointer under Xvfb (scripts/tray-screenshots)
)

qav_install_deps() {
  local missing=()
  for p in "${QAV_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}) or run this script as root." >&2
    return 1
  fi
  echo "Installing: ${missing[*]}"
  # Packages with services (snmpd) must not start them: the tests start
  # their own agents on addresses of their own.
  local policy=/usr/sbin/policy-rc.d created=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy" && chmod +x "$policy" && created=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  local rc=$?
  [ $created -eq 1 ] && rm -f "$policy"
  return $rc
}

qav_configure_build() {
  local dir=${1:-build}; shift || true
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir"
}
