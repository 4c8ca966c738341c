# shellcheck shell=bash
# Authenticode signing of modules and installer packages with osslsigncode; sourced by scripts/make-msi and
# scripts/package. The certificate comes from the environment:
#
#   NORVIX_SIGN_CERT       the publisher's certificate, with its chain (PEM or DER)
#   NORVIX_SIGN_KEY        its private key (PEM or DER)
#   NORVIX_SIGN_PASS_FILE  a file holding the key's password (optional)
#   NORVIX_SIGN_CA         trusted certificates the signatures are verified against (PEM; default: the
#                          system's certificate store)
#   NORVIX_TIMESTAMP_URL   an RFC 3161 time-stamp server; only when it is set do signatures carry a time stamp
#
# Without NORVIX_SIGN_CERT and NORVIX_SIGN_KEY, signing_setup makes a throw-away self-signed test certificate,
# so that signing and verification run everywhere; such signatures are trusted by no one.

# signing_setup WORK-DIR: chooses the certificate (a throw-away one is made in WORK-DIR/test-certificate).
signing_setup() {
    local work=$1
    if [ -n "${NORVIX_SIGN_CERT:-}" ] || [ -n "${NORVIX_SIGN_KEY:-}" ]; then
        [ -f "${NORVIX_SIGN_CERT:-}" ] || { echo "signing: NORVIX_SIGN_CERT is not a file" >&2; return 1; }
        [ -f "${NORVIX_SIGN_KEY:-}" ] || { echo "signing: NORVIX_SIGN_KEY is not a file" >&2; return 1; }
        signing_ca=${NORVIX_SIGN_CA:-/etc/ssl/certs/ca-certificates.crt}
        echo "signing with $NORVIX_SIGN_CERT"
        return 0
    fi
    local dir="$work/test-certificate"
    rm -rf "$dir"
    mkdir -p "$dir"
    openssl req -x509 -newkey rsa:3072 -nodes -days 30 -keyout "$dir/key.pem" -out "$dir/cert.pem" \
        -subj "/CN=Norvix test signing (throw-away, not trusted)" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
        -addext "basicConstraints=critical,CA:FALSE" >/dev/null 2>&1
    export NORVIX_SIGN_CERT="$dir/cert.pem" NORVIX_SIGN_KEY="$dir/key.pem"
    unset NORVIX_SIGN_PASS_FILE
    signing_ca="$dir/cert.pem"
    echo "signing with a throw-away test certificate ($dir)"
}

# sign_file FILE: signs FILE in place (a PE module or an MSI package) and verifies the signature.
sign_file() {
    local file=$1 signed="$1.signing"
    local args=(sign -certs "$NORVIX_SIGN_CERT" -key "$NORVIX_SIGN_KEY" -h sha256 -n "Norvix Addon")
    [ -z "${NORVIX_SIGN_PASS_FILE:-}" ] || args+=(-readpass "$NORVIX_SIGN_PASS_FILE")
    [ -z "${NORVIX_TIMESTAMP_URL:-}" ] || args+=(-ts "$NORVIX_TIMESTAMP_URL")
    rm -f "$signed"
    osslsigncode "${args[@]}" -in "$file" -out "$signed" >/dev/null
    mv -f "$signed" "$file"
    verify_file "$file"
}

# verify_file FILE: the Authenticode signature of FILE is intact and chains to the trusted certificates.
# CRL distribution points are not fetched: verification never goes to the network (osslsigncode before 2.6,
# Debian 12's, never fetches them and has no option for it).
verify_file() {
    local output offline=()
    osslsigncode --help 2>&1 | grep -q -- '-ignore-cdp' && offline=(-ignore-cdp)
    if ! output=$(osslsigncode verify -CAfile "$signing_ca" "${offline[@]}" -in "$1" 2>&1); then
        printf '%s\n' "$output" >&2
        echo "signing: the signature of $1 does not verify" >&2
        return 1
    fi
}
