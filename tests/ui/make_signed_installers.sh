#!/bin/bash
# Signed installers for the window tests, made on the build machine, where the signing
# tool runs: a throwaway self-signed certificate; installers of 1, 6 and 7 files whose
# lengths leave each padding from 0 to 7 bytes before the certificate table, signed and
# accepted by osslsigncode, and read by sfxpack as the stub must read them; and one cut
# short inside its payload before it was signed.
#
#   make_signed_installers.sh SFXPACK STUB SETUP OUT_DIR
#
# OUT_DIR/case-P/ holds installer.exe (P bytes of padding) and the files it was made of,
# input1 (the setup program) to inputN; OUT_DIR/cut.exe is the one cut short.
set -euo pipefail

sfxpack=$1
stub=$2
setup=$3
out=$4
rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kelvane Test Signer" \
    -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null

sign() {
    osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -h sha256 -in "$1" -out "$2" >/dev/null
    osslsigncode verify -CAfile "$out/cert.pem" -in "$2" >/dev/null
}

build() {
    local dir=$1
    "$sfxpack" build --stub "$stub" --title "Signed Kelvane" -o "$dir/unsigned.exe" \
        $(ls "$dir"/input* | sort -V)
}

names=(Setup.exe Setup.jar setup.aux setup.cls knxf.dat knxr.dat knxl.dat)
sizes=(0 700 1 0 4096 333 2500)
for padding in 0 1 2 3 4 5 6 7; do
    files=(1 6 7)
    files=${files[padding % 3]}
    dir="$out/case-$padding"
    mkdir -p "$dir"
    cp "$setup" "$dir/input1"
    for ((k = 2; k <= files; k++)); do
        seq "$k" "$k" $((sizes[k - 1] * 4 + k)) >"$dir/numbers"
        head -c "${sizes[k - 1]}" "$dir/numbers" >"$dir/input$k"
    done
    rm -f "$dir/numbers"
    # Bytes appended to the setup program (which it never reads) set the padding.
    build "$dir"
    length=$(stat -c %s "$dir/unsigned.exe")
    head -c $(((16 - length % 8 - padding) % 8)) /dev/zero >>"$dir/input1"
    build "$dir"
    length=$(stat -c %s "$dir/unsigned.exe")
    [ $(((8 - length % 8) % 8)) -eq "$padding" ]
    sign "$dir/unsigned.exe" "$dir/installer.exe"
    rm "$dir/unsigned.exe"

    # sfxpack reads it as the stub does: complete, and the same files back.
    "$sfxpack" verify "$dir/installer.exe"
    "$sfxpack" extract -C "$dir/extracted" "$dir/installer.exe"
    for ((k = 1; k <= 7; k++)); do
        if ((k <= files || k <= 6)); then
            if [ -f "$dir/input$k" ]; then
                cmp "$dir/input$k" "$dir/extracted/${names[k - 1]}"
            else
                [ ! -s "$dir/extracted/${names[k - 1]}" ]
            fi
        else
            [ ! -e "$dir/extracted/${names[k - 1]}" ]
        fi
    done
    rm -r "$dir/extracted"
done

# Cut short inside the last entry, then signed: a good signature over a damaged payload.
build "$out/case-7"
length=$(stat -c %s "$out/case-7/unsigned.exe")
head -c $((length - 1000)) "$out/case-7/unsigned.exe" >"$out/cut-unsigned.exe"
sign "$out/cut-unsigned.exe" "$out/cut.exe"
rm "$out/case-7/unsigned.exe" "$out/cut-unsigned.exe"
if "$sfxpack" verify "$out/cut.exe" 2>/dev/null; then
    echo "sfxpack verify accepts an installer cut short before signing" >&2
    exit 1
fi
echo "signed installers in $out"
