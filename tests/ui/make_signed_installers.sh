#!/bin/bash
# make_signed_installers.sh SFXPACK STUB SETUP OUT_DIR: OUT_DIR/case-P/installer.exe, signed with
# a throwaway certificate, of case-P/input1 (the setup program) to inputN, leaves P bytes of
# padding before its certificate table; case-large/installer.exe is near the 2 GiB limit.
set -euo pipefail
sfxpack=$1 stub=$2 setup=$3 out=$4
rm -rf "$out"/case-? && mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kelvane Test Signer" \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
sign() { osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -h sha256 -in "$1" -out "$2" >/dev/null; }
build() {
    "$sfxpack" build --stub "$stub" --title "Signed Kelvane" -o "$1/unsigned.exe" $(ls "$1"/input* | sort -V)
    stat -c %s "$1/unsigned.exe"
}
sizes=(0 6291456 1 0 4096 333 2500) # 6 MiB: enough to watch the bar move
for padding_files in 0:1 1:6 7:7; do
    padding=${padding_files%:*} dir=$out/case-${padding_files%:*}
    mkdir -p "$dir" && cp "$setup" "$dir/input1"
    for ((k = 2; k <= ${padding_files#*:}; k++)); do
        head -c "${sizes[k - 1]}" <(seq $((k + padding)) "$k" $((sizes[k - 1] * 4 + padding))) >"$dir/input$k"
    done
    # Bytes appended to the setup program, which it never reads, set the padding.
    head -c $(((16 - $(build "$dir") % 8 - padding) % 8)) /dev/zero >>"$dir/input1"
    [ $(((8 - $(build "$dir") % 8) % 8)) -eq "$padding" ]
    sign "$dir/unsigned.exe" "$dir/installer.exe"
    "$sfxpack" verify "$dir/installer.exe"
    rm "$dir/unsigned.exe"
done
# Made again only for a new stub: zeros from a sparse file, about 2,128,600,000 bytes.
dir=$out/case-large
if [ ! "$dir/installer.exe" -nt "$stub" ]; then
    rm -rf "$dir" && mkdir "$dir" && cp "$setup" "$dir/input1" && truncate -s 2030M "$dir/input2"
    build "$dir"
    sign "$dir/unsigned.exe" "$dir/signed.exe"
    mv "$dir/signed.exe" "$dir/installer.exe" && rm "$dir/unsigned.exe"
fi
