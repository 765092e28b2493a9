#!/usr/bin/env bash
# The publisher's release, signed: a small package of its own date, title and
# number, released with a throwaway self-signed code-signing certificate, then
# checked as a technician would: the zip's listing and sums, the signature
# against that certificate, the signed exe with its signature removed against
# the unsigned sum printed, and the exe's window under Wine. Then the
# refusals: a wrong password, a missing certificate and an unsound package
# each leave no zip where one was, and say why in one line.
# Needs build/native and build/win (scripts/build); writes under
# build/release_test only (and build/release, which scripts/release uses).
set -euo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD work=$PWD/build/release_test
rm -rf "$work"
mkdir -p "$work/dist" "$work/zip"
cd "$work"

fail() {
  echo "release_test: $1" >&2
  exit 1
}

# A code-signing certificate valid for a day, and its password in a file. Its
# revocation list is at an address nobody answers, as for a machine that signs
# offline.
(umask 077 && echo "senha-$RANDOM$RANDOM" >password)
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=pATU release test" \
        -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
        -addext crlDistributionPoints=URI:http://127.0.0.1:9/revoked.crl \
        -keyout key.pem -out certificate.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in certificate.pem -passout file:password -out certificate.pfx

# Entry 3 is 263, so NUM_VERSAO is 263 modulo 256.
date=01/02/2030 title="Pacote de teste do lançamento"
"$repo/build/native/tools/pkggen/pkggen" --small --date "$date" --title "$title" --out small.txt
sed -i '4s|.*|263|' small.txt
release() { "$repo/scripts/release" --package small.txt --dist dist "$@"; }
# Where this host's Wine runs no 32-bit code, the small release is of the
# x86-64 twin, signed the same way, so that the exe Wine shows is the one signed.
if [ "$("$repo/scripts/route")" = 64 ]; then
  export PATU_RELEASE_TOOLCHAIN=cmake/mingw-w64-x86_64.cmake
  echo "== the small release is of the x86-64 twin ($("$repo/scripts/route" --why 2>&1 >/dev/null))"
else
  echo "== the small release is of the shipped 32-bit exe"
fi

echo "== a small package, released signed"
PATU_SIGN_PASSWORD_FILE=password release --sign certificate.pfx 2>&1 | tee release.log
zip=dist/pATU-6.263.0.0.zip
[ -f "$zip" ] || fail "no $zip"
grep -qF "package: $date, \"$title\", NUM_VERSAO 7 ($work/small.txt)" release.log ||
  fail "the release did not name the package it carries"
! grep -qF "$(cat password)" release.log || fail "the release printed the password"
listing=$(cmake -E tar tf "$zip" | tr '\n' ' ')
[ "$listing" = "pATU.exe LEIA-ME.txt SHA256SUMS.txt " ] || fail "the zip holds $listing"
(cd zip && cmake -E tar xf "../$zip" && sha256sum --check --quiet SHA256SUMS.txt) || fail "the zip's sums do not check"
signed=$(sed -n 's/^pATU.exe SHA-256, signed: *\([0-9a-f]*\).*/\1/p' release.log)
unsigned=$(sed -n 's/^pATU.exe SHA-256, unsigned: *\([0-9a-f]*\)$/\1/p' release.log)
[ "$(sha256sum <zip/pATU.exe | cut -d' ' -f1)" = "$signed" ] || fail "the signed sum printed is not the zipped exe's"
offline=()
! grep -q -- -ignore-crl <(osslsigncode --help 2>&1) || offline=(-ignore-crl)
osslsigncode verify -CAfile certificate.pem "${offline[@]}" -in zip/pATU.exe >verify.log 2>&1 ||
  fail "the zipped exe's signature does not verify against the certificate (see $work/verify.log)"
osslsigncode remove-signature -in zip/pATU.exe -out unsigned.exe >/dev/null
[ "$(sha256sum <unsigned.exe | cut -d' ' -f1)" = "$unsigned" ] && [ "$unsigned" != "$signed" ] ||
  fail "the zipped exe, its signature removed, is not the unsigned build printed"
cp "$zip" released.zip

echo "== the signed exe under Wine"
PATU_RELEASED_EXE=$work/zip/pATU.exe PATU_RELEASED_DATE=$date PATU_RELEASED_TITLE=$title \
  ctest --test-dir "$repo/build/native" -L wine -R 'ShowsTheReleasedPackage|wine_setup|wine_cleanup' \
        --output-on-failure | tee wine.log
! grep -q 'ShowsTheReleasedPackage.*Skipped' wine.log || fail "the Wine test did not take the released exe"

# Runs a release that must fail, with the zip of the release above in dist/:
# it must end on one line "release: ..." holding $1, and leave no zip.
refused() {
  local expected=$1
  shift
  cp released.zip "$zip"
  if release "$@" >refused.log 2>&1; then fail "a release that must fail ended well: $*"; fi
  tail -1 refused.log | grep -q "^release: .*$expected" || fail "the release with $* ended on: $(tail -1 refused.log)"
  [ -z "$(ls dist)" ] || fail "the release with $* left $(ls dist) in dist/"
  echo "refused: $(tail -1 refused.log)"
}
echo "== refusals"
echo "not the password" >wrong-password
PATU_SIGN_PASSWORD_FILE=wrong-password refused "password" --sign certificate.pfx
PATU_SIGN_PASSWORD_FILE=password refused "does not exist" --sign missing.pfx
sed -i '$d' small.txt  # no "FIM"
refused "Defeito na entrada [0-9]*: "
echo "release_test: passed"
