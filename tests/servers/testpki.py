#!/usr/bin/python3
"""Test certificates and signed files, made when the tests run (never kept in
the repository):

  testpki.py --out DIR [--sign FILE.exe] [--sign-program PROGRAM.exe]

DIR receives (PEM unless said otherwise):
  ca.crt, ca.key          "Pravel Test Root CA": the authority the tests make
                          trusted inside their own Wine prefix only
  ca.der                  the same certificate, DER
  ca.crl                  the authority's (empty) list of revoked certificates
  localhost.crt/.key      a server certificate for "localhost" issued by it;
                          it names ca.crl as a file: URL (Wine's drive Z:), so
                          that WinINet can check its revocation offline
  publisher.crt/.key      "Contoso Test Publisher", code signing, issued by it
  rekeyed.crt/.key        the same name with another key, issued by it
  other.crt/.key          "Fabrikam Test Publisher", issued by it
  lookalike-ca.crt/.key   "Pravel Test Root CA" again: same name, other key,
                          never trusted
  lookalike.crt/.key      "Contoso Test Publisher" issued by the look-alike
  nulname.crt/.key        "Contoso Test Publisher", U+0000, ".example": a name
                          that equals the publisher's up to an embedded NUL
  standin.crt/.key        "Microsoft Corporation", code signing, self-signed: a
                          stand-in that only a check of the chain tells apart
  <name>.spki-sha256      SHA-256 of the certificate's public key (DER
                          SubjectPublicKeyInfo), 64 lowercase hex digits
With --sign, FILE is signed (osslsigncode, Authenticode) into
  signed-publisher.exe, signed-rekeyed.exe, signed-other.exe,
  signed-lookalike.exe, signed-nulname.exe, signed-standin.exe,
  signed-nested.exe (by the publisher, with a nested SHA-1 signature by
  "Fabrikam Test Publisher"), unsigned.exe (a plain copy), tampered.exe
  (signed by the publisher, then one byte of its code changed)
With --sign-program, PROGRAM is signed by the publisher into
  signed-program.exe (a signed pravel.exe, as a setup author ships it);
and DIR/done is written last. Everything is made afresh on every call.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys

DAYS = "30"


def run(*args):
    subprocess.run(list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_ca(out, name, subject, extensions=None):
    """A self-signed certificate: an authority, or with `extensions` (lines of
    CODE, say) a self-signed leaf."""
    key, crt = os.path.join(out, name + ".key"), os.path.join(out, name + ".crt")
    lines = (extensions or "basicConstraints=critical,CA:TRUE\n"
             "keyUsage=critical,keyCertSign,cRLSign\n").splitlines()
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", DAYS,
        "-subj", subject, "-keyout", key, "-out", crt,
        *[arg for line in lines for arg in ("-addext", line)])
    return key, crt


def make_leaf(out, name, subject, ca, extensions):
    key, crt = os.path.join(out, name + ".key"), os.path.join(out, name + ".crt")
    csr = os.path.join(out, name + ".csr")
    ext = os.path.join(out, name + ".ext")
    with open(ext, "w") as f:
        f.write(extensions)
    run("openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", subject,
        "-keyout", key, "-out", csr)
    run("openssl", "x509", "-req", "-in", csr, "-CA", ca[1], "-CAkey", ca[0],
        "-CAcreateserial", "-days", DAYS, "-extfile", ext, "-out", crt)
    os.remove(csr)
    os.remove(ext)
    return key, crt


def make_crl(out, ca):
    """An empty CRL of `ca`, valid for DAYS days."""
    db = os.path.join(out, "crl-db")
    os.makedirs(db)
    open(os.path.join(db, "index.txt"), "w").close()
    with open(os.path.join(db, "crlnumber"), "w") as f:
        f.write("01\n")
    config = os.path.join(db, "ca.cnf")
    with open(config, "w") as f:
        f.write("[ca]\ndefault_ca=test\n[test]\ndatabase=%s/index.txt\ncrlnumber=%s/crlnumber\n"
                "default_md=sha256\ndefault_crl_days=%s\n" % (db, db, DAYS))
    run("openssl", "ca", "-config", config, "-gencrl", "-keyfile", ca[0], "-cert", ca[1],
        "-out", os.path.join(out, "ca.crl.pem"))
    run("openssl", "crl", "-in", os.path.join(out, "ca.crl.pem"), "-outform", "DER",
        "-out", os.path.join(out, "ca.crl"))
    shutil.rmtree(db)


def make_nul_leaf(out, name, ca):
    """A code-signing certificate whose common name has an embedded U+0000
    (openssl's -subj cannot write one), issued by `ca`."""
    import datetime
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

    with open(ca[0], "rb") as f:
        ca_key = serialization.load_pem_private_key(f.read(), password=None)
    with open(ca[1], "rb") as f:
        ca_crt = x509.load_pem_x509_certificate(f.read())
    key = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    now = datetime.datetime.utcnow()
    subject = x509.Name([
        x509.NameAttribute(NameOID.COMMON_NAME, "Contoso Test Publisher\x00.example"),
        x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Contoso")])
    crt = (x509.CertificateBuilder().subject_name(subject).issuer_name(ca_crt.subject)
           .public_key(key.public_key()).serial_number(x509.random_serial_number())
           .not_valid_before(now - datetime.timedelta(days=1))
           .not_valid_after(now + datetime.timedelta(days=int(DAYS)))
           .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=False)
           .add_extension(x509.KeyUsage(True, False, False, False, False, False, False, False,
                                        False), critical=True)
           .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.CODE_SIGNING]),
                          critical=False)
           .sign(ca_key, hashes.SHA256()))
    key_path, crt_path = os.path.join(out, name + ".key"), os.path.join(out, name + ".crt")
    with open(key_path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM,
                                  serialization.PrivateFormat.TraditionalOpenSSL,
                                  serialization.NoEncryption()))
    with open(crt_path, "wb") as f:
        f.write(crt.public_bytes(serialization.Encoding.PEM))
    return key_path, crt_path


def spki_sha256(crt):
    pub = subprocess.run(["openssl", "x509", "-in", crt, "-pubkey", "-noout"], check=True,
                         capture_output=True).stdout
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=pub,
                         check=True, capture_output=True).stdout
    return hashlib.sha256(der).hexdigest()


def sign(leaf, chain, source, target, *extra):
    run("osslsigncode", "sign", "-certs", leaf[1], "-key", leaf[0],
        *(["-ac", chain] if chain else []), "-h", "sha256", "-n", "Pravel test",
        *extra, "-in", source, "-out", target)


CODE = "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n" \
       "extendedKeyUsage=codeSigning\n"
SERVER = "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n" \
         "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--sign")
    parser.add_argument("--sign-program")
    args = parser.parse_args()
    out = args.out
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)

    ca = make_ca(out, "ca", "/CN=Pravel Test Root CA/O=Pravel Tests")
    run("openssl", "x509", "-in", ca[1], "-outform", "DER", "-out", os.path.join(out, "ca.der"))
    make_crl(out, ca)
    lookalike_ca = make_ca(out, "lookalike-ca", "/CN=Pravel Test Root CA/O=Pravel Tests")
    crl_url = "file:///Z:" + os.path.abspath(os.path.join(out, "ca.crl"))
    make_leaf(out, "localhost", "/CN=localhost", ca,
              SERVER + "crlDistributionPoints=URI:%s\n" % crl_url)
    leaves = {
        "publisher": (make_leaf(out, "publisher", "/CN=Contoso Test Publisher/O=Contoso", ca,
                                CODE), ca[1]),
        "rekeyed": (make_leaf(out, "rekeyed", "/CN=Contoso Test Publisher/O=Contoso", ca, CODE),
                    ca[1]),
        "other": (make_leaf(out, "other", "/CN=Fabrikam Test Publisher/O=Fabrikam", ca, CODE),
                  ca[1]),
        "lookalike": (make_leaf(out, "lookalike", "/CN=Contoso Test Publisher/O=Contoso",
                                lookalike_ca, CODE), lookalike_ca[1]),
        "nulname": (make_nul_leaf(out, "nulname", ca), ca[1]),
        "standin": (make_ca(out, "standin", "/CN=Microsoft Corporation/O=Microsoft Corporation",
                            CODE), None),
    }
    for name, (leaf, _) in leaves.items():
        with open(os.path.join(out, name + ".spki-sha256"), "w") as f:
            f.write(spki_sha256(leaf[1]))

    if args.sign:
        for name, (leaf, chain) in leaves.items():
            sign(leaf, chain, args.sign, os.path.join(out, "signed-" + name + ".exe"))
        leaf, chain = leaves["other"]
        sign(leaf, chain, os.path.join(out, "signed-publisher.exe"),
             os.path.join(out, "signed-nested.exe"), "-nest", "-h", "sha1")
        shutil.copyfile(args.sign, os.path.join(out, "unsigned.exe"))
        # One byte of the code changed after signing: the digest no longer matches.
        tampered = os.path.join(out, "tampered.exe")
        shutil.copyfile(os.path.join(out, "signed-publisher.exe"), tampered)
        with open(tampered, "r+b") as f:
            f.seek(0x400 + 16)
            byte = f.read(1)
            f.seek(0x400 + 16)
            f.write(bytes([byte[0] ^ 0xFF]))

    if args.sign_program:
        leaf, chain = leaves["publisher"]
        sign(leaf, chain, args.sign_program, os.path.join(out, "signed-program.exe"))

    with open(os.path.join(out, "done"), "w") as f:
        f.write("ok\n")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except subprocess.CalledProcessError as error:
        sys.stderr.write("testpki: %s failed: %s\n" % (error.cmd[0], error.stderr.decode(errors="replace")))
        sys.exit(1)
