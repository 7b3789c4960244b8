"""Authenticode signing of the release's program with osslsigncode.

The signature is SHA-256, its signing time is the release's fixed time, and
with an RSA key (whose PKCS#1 v1.5 signatures hold no random part) the same
program, key and time give the same bytes. An ECDSA key signs with a random
nonce, and a time-stamp server adds its own time: either gives other bytes
on every run, though each is a valid signature.
"""

import os
import subprocess
import tempfile
from dataclasses import dataclass
from typing import Optional

TOOL = "osslsigncode"


class SigningError(RuntimeError):
    pass


@dataclass
class Signer:
    """CERT and KEY as PEM files, or a PKCS#12 bundle as CERT and no KEY."""
    cert: str
    key: Optional[str] = None
    password_file: Optional[str] = None  # of the bundle or of an encrypted key
    timestamp_url: Optional[str] = None  # RFC 3161 server; its time is not reproducible

    def credentials(self):
        for path in (self.cert, self.key, self.password_file):
            if path and not os.path.isfile(path):
                raise SigningError(f"{path}: no such file")
        argv = ["-certs", self.cert, "-key", self.key] if self.key else ["-pkcs12", self.cert]
        if self.password_file:
            argv += ["-readpass", self.password_file]
        if self.timestamp_url:
            argv += ["-ts", self.timestamp_url]
        return argv


def run_tool(argv):
    try:
        out = subprocess.run([TOOL] + argv, capture_output=True, text=True, timeout=300)
    except FileNotFoundError:
        raise SigningError(f"{TOOL} is not installed (./run installs it)") from None
    if out.returncode != 0:
        raise SigningError(f"{TOOL} {argv[0]} failed:\n{out.stdout}{out.stderr}")


def sign(program, signer, signing_time, description):
    """(signed program, detached signature) as bytes; the program is not changed."""
    with tempfile.TemporaryDirectory(prefix="fwu-sign-") as work:
        signed = os.path.join(work, "signed.exe")
        signature = os.path.join(work, "signature.p7")
        run_tool(["sign", "-h", "sha256", "-n", description, "-time", str(signing_time)] +
                 signer.credentials() + ["-in", program, "-out", signed])
        # DER PKCS#7: `osslsigncode attach-signature -sigin` puts it back.
        run_tool(["extract-signature", "-in", signed, "-out", signature])
        with open(signed, "rb") as f, open(signature, "rb") as g:
            return f.read(), g.read()
