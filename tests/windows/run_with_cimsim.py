"""Runs a test program (WINE PROGRAM [ARGUMENT...] under Wine, or PROGRAM [ARGUMENT...]) against
servers on free loopback ports of the build machine: cimsim with the sample estate, Basic and
local authentication and a journal, never answering in time for SILENT_CLASS (which only the
client's time-out test asks for); a second cimsim with a certificate of its own (the trust
table's); a scripted server that journals the request and closes without answering; a port nobody
listens on; and the certificate chains and secret folders of the client's own checks. The
program learns them from the environment (Linux paths as Z: paths under Wine); its status is ours.
"""

import contextlib
import hashlib
import os
import socket
import ssl
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "cimsim"))

from cimsim_process import SCENARIOS, CimSim  # noqa: E402

SCRIPTED_SERVER = os.path.join(HERE, "..", "pegasus", "scripted_server.py")
USER, PASSWORD, SILENT_CLASS = "root", "s3cret", "CIM_ConcreteJob"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fingerprint(pem):
    """SHA-256 of the certificate, as openssl prints it."""
    digest = hashlib.sha256(ssl.PEM_cert_to_DER_cert(pem)).hexdigest().upper()
    return ":".join(digest[i:i + 2] for i in range(0, len(digest), 2))


def trust_servers(stack, directory):
    """A second cimsim for the trust table (tests/unit/cimfunc/server_trust_test.cpp), serving a
    certificate made here whose subject alternative name is IP:127.0.0.1: it and that file."""
    key, san = (os.path.join(directory, name) for name in ("san-key.pem", "san.pem"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", san, "-days", "2", "-subj", "/CN=cimsim-san",
                    "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # It closes the connection after each CIM_PhysicalPackage enumeration, so that the client
    # opens one anew within an operation.
    second = CimSim({"include": [os.path.join(SCENARIOS, "sample_estate.json")], "faults": [
        {"operation": "EnumerateInstances", "class": "CIM_PhysicalPackage",
         "connectionClose": True}]},
        "--user", USER, "--password", PASSWORD, "--certificate", san, "--key", key)
    stack.callback(second.stop)
    return second, san


# The client's own chain check (pegasus_client_win_test.cpp): NAME, ISSUER (None: self-signed),
# extensions; all on one key.
CHAIN = [
    ("root", None, ["basicConstraints=critical,CA:TRUE", "keyUsage=keyCertSign"]),
    ("root-pathlen-0", None, ["basicConstraints=critical,CA:TRUE,pathlen:0"]),
    ("ca", "root", ["basicConstraints=CA:TRUE", "keyUsage=keyCertSign"]),
    ("ca-unconstrained", "root", []),
    ("ca-without-cert-sign", "root", ["basicConstraints=CA:TRUE", "keyUsage=digitalSignature"]),
    ("ca-under-pathlen-0", "root-pathlen-0", ["basicConstraints=CA:TRUE"]),
    ("server", "ca", ["keyUsage=digitalSignature,keyEncipherment",
                      "extendedKeyUsage=serverAuth"]),
    ("server-of-unconstrained", "ca-unconstrained", []),
    ("server-of-no-cert-sign", "ca-without-cert-sign", []),
    ("server-too-deep", "ca-under-pathlen-0", []),
    ("client-only", "root", ["extendedKeyUsage=clientAuth"]),
    ("cert-sign-only", "root", ["keyUsage=keyCertSign"]),
    ("unknown-critical", "root", ["1.3.6.1.4.1.99999.1=critical,DER:05:00"]),
]


def certificate_chains(directory):
    """The certificates of CHAIN, NAME.pem and NAME.der each, in a folder of their own."""
    chains = os.path.join(directory, "chains")
    os.mkdir(chains)
    key, config = os.path.join(chains, "key.pem"), os.path.join(chains, "openssl.cnf")
    with open(config, "w", encoding="ascii") as stream:
        stream.write("[req]\ndistinguished_name=dn\n[dn]\n")  # no extensions but those named
    subprocess.run(["openssl", "genrsa", "-out", key, "2048"], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for name, issuer, extensions in CHAIN:
        signer = ["-CA", os.path.join(chains, issuer + ".pem"), "-CAkey", key] if issuer else []
        pem = os.path.join(chains, name + ".pem")
        subprocess.run(["openssl", "req", "-config", config, "-x509", "-new", "-key", key,
                        "-subj", "/CN=" + name, "-days", "2", "-out", pem] + signer +
                       [item for extension in extensions for item in ("-addext", extension)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # DER as well: the check is handed certificates as WinHTTP hands them over.
        with open(pem, encoding="ascii") as text, open(pem[:-4] + ".der", "wb") as der:
            der.write(ssl.PEM_cert_to_DER_cert(text.read()))
    return chains


def secret_folders(directory):
    """Folders a local secret may be looked for in: private (only this user's), open/localauth
    (under a folder everyone may write to) and link (to private), each holding "secret"."""
    folders = os.path.join(directory, "folders")
    for folder, mode in (("private", 0o700), ("open", 0o777), ("open/localauth", 0o700)):
        os.makedirs(os.path.join(folders, folder))
        os.chmod(os.path.join(folders, folder), mode)
        with open(os.path.join(folders, folder, "secret"), "w", encoding="ascii") as stream:
            stream.write("s3cret")
    os.symlink("private", os.path.join(folders, "link"))
    return folders


def trusted_base():
    """A folder under which only its owner may change anything (the local secrets' folder must
    be one such on Windows): the current one, unless a folder above it is writable by others."""
    here = os.getcwd()
    while here != os.path.dirname(here):
        if os.stat(here).st_mode & 0o002:
            return os.path.expanduser("~")
        here = os.path.dirname(here)
    return os.getcwd()


def main(command):
    under_wine = os.path.basename(command[0]).startswith("wine")
    program_path = windows_path if under_wine else os.path.abspath
    with contextlib.ExitStack() as stack:
        directory = stack.enter_context(
            tempfile.TemporaryDirectory(prefix="windows-test-", dir=trusted_base()))
        secrets = os.path.join(directory, "localauth")
        simulator = CimSim({"include": [os.path.join(SCENARIOS, "sample_estate.json")], "faults": [
            {"operation": "EnumerateInstances", "class": SILENT_CLASS, "delay": 75}]},
            "--user", USER, "--password", PASSWORD, "--local-auth", secrets)
        stack.callback(simulator.stop)
        script, journal = (os.path.join(directory, name) for name in ("script", "journal"))
        with open(script, "w", encoding="utf-8") as stream:
            stream.write("[]")  # no answers: it closes after journaling the request
        scripted = stack.enter_context(subprocess.Popen(
            [sys.executable, SCRIPTED_SERVER, "--script", script, "--journal", journal],
            stdout=subprocess.PIPE, text=True))
        stack.callback(scripted.terminate)
        ready = scripted.stdout.readline().strip()
        if not ready.startswith("port="):
            raise RuntimeError("scripted server did not start: %r" % ready)
        san_simulator, san_certificate = trust_servers(stack, directory)
        cimsim_certificate = os.path.join(directory, "cimsim.pem")
        with open(cimsim_certificate, "w", encoding="ascii") as stream:
            stream.write(ssl.get_server_certificate(("127.0.0.1", simulator.https_port)))
        with socket.socket() as unused:
            unused.bind(("127.0.0.1", 0))
            closed_port = unused.getsockname()[1]
        return subprocess.run(command, check=False, env=dict(
            os.environ, CIMCLIENT_LOCAL_URL="http://127.0.0.1:%d" % simulator.http_port,
            CIMCLIENT_LOCAL_AUTH_DIR=secrets,
            BROCADE_TEST_CIMSIM_HTTP_PORT=str(simulator.http_port),
            BROCADE_TEST_CIMSIM_HTTPS_PORT=str(simulator.https_port),
            BROCADE_TEST_CIMSIM_USER=USER, BROCADE_TEST_CIMSIM_PASSWORD=PASSWORD,
            BROCADE_TEST_CIMSIM_JOURNAL=program_path(simulator.journal_path),
            BROCADE_TEST_SILENT_CLASS=SILENT_CLASS, BROCADE_TEST_SCRIPTED_PORT=ready[5:],
            BROCADE_TEST_SCRIPTED_JOURNAL=program_path(journal),
            BROCADE_TEST_CHAINS=program_path(certificate_chains(directory)),
            BROCADE_TEST_FOLDERS=program_path(secret_folders(directory)),
            BROCADE_TEST_CLOSED_PORT=str(closed_port),
            BROCADE_TEST_SAN_HTTPS_PORT=str(san_simulator.https_port),
            BROCADE_TEST_CIMSIM_CERTIFICATE=program_path(cimsim_certificate),
            BROCADE_TEST_SAN_CERTIFICATE=program_path(san_certificate),
            BROCADE_TEST_CIMSIM_PIN=fingerprint(open(cimsim_certificate).read()),
            BROCADE_TEST_SAN_PIN=fingerprint(open(san_certificate).read()),
            BROCADE_TEST_TRUST_SETTING=program_path(os.path.join(directory, "trust.json")))).returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
