#!/usr/bin/env bash
# Builds everything and runs every test: the program over the simulated desktop (also under
# the sanitizers, a soak and the fuzzers), zanto on a headless Linux desktop, zanto.exe
# under Wine, and the release packages: the Debian package and the Windows installer.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
need_packages "${LINUX_PACKAGES[@]}"
jobs=$(nproc)

echo "== formatting"
need_packages clang-format git
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror

echo "== zanto-sim and the tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZANTO_TESTS=ON -DZANTO_LINUX_DESKTOP=ON \
  -DZANTO_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

echo "== zanto on a headless Linux desktop"
need_packages "${LINUX_DESKTOP_PACKAGES[@]}"
e2e/linux/run.sh build

echo "== sanitizers, soak and fuzzing"
scripts/sanitize.sh
fuzz/run.sh "${ZANTO_FUZZ_SECONDS:-60}"

echo "== zanto.exe under Wine"
need_packages "${WINDOWS_PACKAGES[@]}"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DZANTO_TESTS=ON \
  -DZANTO_WERROR=ON >/dev/null
cmake --build build-win -j"$jobs"
e2e/check-exe.sh build-win
echo "== the tests of the Windows desktop under Wine"
e2e/run-win32-tests.sh build-win
e2e/run.sh build-win

need_packages "${PACKAGE_TEST_PACKAGES[@]}"
echo "== signing a Windows program: a throwaway certificate, and signing that fails"
e2e/install/sign-test.sh build-win
echo "== the release packages (scripts/package.sh: installer, portable zip, Debian package, RPM)"
# Signed as a release is, with a throwaway certificate that nobody trusts.
certificate="$(mktemp -d)"
trap 'rm -rf "$certificate"' EXIT
e2e/install/test-certificate.sh "$certificate"
ZANTO_SIGN_PKCS12="$certificate/zanto.p12" ZANTO_SIGN_PASSWORD="$(cat "$certificate/password")" \
  scripts/package.sh
echo "== the Debian package: lintian, its files, a fresh root, started at login"
e2e/linux/package-test.sh dist/zanto_*.deb
echo "== the RPM: rpmlint, its files and requirements, a fresh root"
e2e/linux/rpm-test.sh dist/zanto-*.x86_64.rpm dist/zanto_*.deb
echo "== the Windows installer under Wine, and its signatures"
ZANTO_E2E_SIGNED_BY="$certificate/ca.pem" e2e/install/run.sh dist build-win
echo "== all tests passed"
