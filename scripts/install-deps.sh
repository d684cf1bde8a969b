#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the benchmarks and the fuzzers need.
# Packages already present are skipped; nothing is fetched from anywhere but the Debian archive.
set -euo pipefail

packages=(
  # build and tests
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev
  # counted pointers, number casts (XML library)
  libboost-dev
  # encryption and digests
  libssl-dev
  # imaging and printing
  libtiff-dev libcups2-dev
  # drawing, fonts and the programs
  qt6-base-dev fonts-dejavu-core
  # the programs' sounds
  qt6-multimedia-dev
  # a private print server for the spooler integration tests, with the system's backends (socket,
  # lpd) for the trial of a job to a network device
  cups-daemon cups-client cups
  # the desktop entries and file types of the installed suite, checked as the desktop reads them
  desktop-file-utils shared-mime-info xdg-utils
  # locale sources, so tests can run under a comma-decimal locale
  locales
  # benchmarks, with the XML parsers they compare against
  libbenchmark-dev libxml2-dev libpugixml-dev
  # fuzzing: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
