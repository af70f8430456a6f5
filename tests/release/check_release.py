#!/usr/bin/env python3
"""Checks of what is released, read from the built files: the programs' imports and
manifests, the CD image, signing, and that two clean builds give the same bytes.

    check_release.py --build build --work build/release [check names...]
"""

import argparse
import contextlib
import hashlib
import http.server
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import xml.etree.ElementTree as ElementTree
from pathlib import Path

import pefile  # Debian's python3-pefile, for the system's Python

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests"))
from runner import Registry, Runner  # noqa: E402
PROGRAMS = ["setup/Setup.exe", "tourlet/Tourlet.exe", "demo/Setup.exe"]
CD_FILES = ["Setup.exe", "Tourlet.exe", "VARNOK/Setup.exe", "Varnok.avi", "autorun.inf"]
# DLLs Windows loads only from the system folder (KnownDLLs), whatever lies beside a program.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "ole32.dll",
              "oleaut32.dll", "advapi32.dll", "msvcrt.dll", "comdlg32.dll", "shlwapi.dll"}
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Windows 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # Windows 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # Windows 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # Windows 10 and 11
}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"

CHECKS = Registry()


def run(args, cwd=None, env=None, log=None):
    """Runs a tool with no terminal; its output goes to `log`, or is returned."""
    if log is not None:
        with open(log, "ab") as out:
            subprocess.run(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out,
                           stderr=subprocess.STDOUT, check=True)
        return ""
    return subprocess.run(args, cwd=cwd, env=env, stdin=subprocess.DEVNULL, check=True,
                          capture_output=True, text=True).stdout


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


class PeFile:
    """A built program as the release checks read it: its imports, header flags and
    manifest."""

    def __init__(self, path):
        self.data = Path(path).read_bytes()
        self.image = pefile.PE(data=self.data, fast_load=True)
        self.image.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
        self.characteristics = self.image.FILE_HEADER.Characteristics
        self.dll_characteristics = self.image.OPTIONAL_HEADER.DllCharacteristics

    def imported_dlls(self):
        return [entry.dll.decode("ascii").lower()
                for entry in getattr(self.image, "DIRECTORY_ENTRY_IMPORT", [])]

    def manifest(self):
        start = self.data.index(b"<?xml")
        end = self.data.index(b"</assembly>", start) + len(b"</assembly>")
        return ElementTree.fromstring(self.data[start:end])


def each_program(options):
    for build in ("win32", "win64"):
        for program in PROGRAMS:
            yield f"{build}/{program}", options.build / build / program


@CHECKS
def programs_import_only_known_dlls(options):
    for name, path in each_program(options):
        program = PeFile(path)
        dlls = program.imported_dlls()
        assert set(dlls) <= KNOWN_DLLS, f"{name} imports {sorted(set(dlls) - KNOWN_DLLS)}"
        assert "kernel32.dll" in dlls and "user32.dll" in dlls, (name, dlls)
        if "demo" not in name:  # looked up while running, so it is no import
            assert b"SetDefaultDllDirectories\0" in program.data, name


FILE_FLAGS, DLL_FLAGS = pefile.IMAGE_CHARACTERISTICS, pefile.DLL_CHARACTERISTICS
RUN_FROM_SWAP = (FILE_FLAGS["IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP"]
                 | FILE_FLAGS["IMAGE_FILE_NET_RUN_FROM_SWAP"])
HARDENED = (DLL_FLAGS["IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE"]
            | DLL_FLAGS["IMAGE_DLLCHARACTERISTICS_NX_COMPAT"]
            | DLL_FLAGS["IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE"])


@CHECKS
def programs_run_from_swap_with_aslr_and_dep(options):
    """Started from a CD or a share, Windows runs a copy from the page file; and the usual
    hardening: relocatable (ASLR), no code in data pages (DEP), no Terminal Server shims. The
    header checksum holds for the flags as set."""
    for name, path in each_program(options):
        program = PeFile(path)
        assert program.characteristics & RUN_FROM_SWAP == RUN_FROM_SWAP, \
            f"{name}: {program.characteristics:#x}"
        assert program.dll_characteristics & HARDENED == HARDENED, \
            f"{name}: {program.dll_characteristics:#x}"
        # Made again after the flags were set; Windows checks it where a driver or a
        # signature's verifier asks.
        stored = program.image.OPTIONAL_HEADER.CheckSum
        assert stored != 0 and program.image.verify_checksum(), \
            f"{name}: header checksum {stored:#x}, computed {program.image.generate_checksum():#x}"


@CHECKS
def manifests_ask_for_no_elevation_and_know_each_monitors_dpi(options):
    for name, path in each_program(options):
        manifest = PeFile(path).manifest()
        levels = [element.get("level") for element in manifest.iter()
                  if element.tag.endswith("requestedExecutionLevel")]
        assert levels == ["asInvoker"], (name, levels)
        if "demo" in name:
            continue
        systems = {element.get("Id") for element in manifest.iter()
                   if element.tag.endswith("supportedOS")}
        assert systems == SUPPORTED_OS, (name, systems)
        settings = {element.tag.split("}")[1]: element.text for element in manifest.iter()
                    if element.tag.startswith("{http://schemas.microsoft.com/SMI/")}
        # 1607 knows no PerMonitorV2 and takes the next value it knows: PerMonitor.
        assert settings == {"dpiAware": "true", "dpiAwareness": "PerMonitorV2, PerMonitor"}, \
            (name, settings)
        assert manifest.find(f"{ASM_V1}dependency") is None, f"{name} depends on an assembly"


def image_files(image):
    listing = run(["xorriso", "-no_rc", "-joliet", "on", "-indev", str(image), "-find", "/"])
    return sorted(line.strip("'")[1:] for line in listing.splitlines() if line != "'/'")


def has_joliet(image):
    """A supplementary volume descriptor with a UCS-2 escape sequence, from sector 17 on."""
    with open(image, "rb") as file:
        for sector in range(17, 32):
            file.seek(sector * 2048)
            descriptor = file.read(2048)
            if descriptor[0] == 255:
                return False
            if descriptor[0] == 2 and descriptor[88:91] in (b"%/@", b"%/C", b"%/E"):
                return True
    return False


@CHECKS
def the_cd_image_holds_the_staged_cd(options):
    image = options.build / "varnok-cd.iso"
    assert image_files(image) == sorted(CD_FILES + ["VARNOK"]), image_files(image)
    assert has_joliet(image), "no Joliet names"
    info = run(["xorriso", "-no_rc", "-indev", str(image), "-pvd_info"])
    assert "Volume Id    : VARNOK" in info.splitlines(), info
    extracted = options.work / "extracted"
    shutil.rmtree(extracted, ignore_errors=True)
    run(["osirrox", "-no_rc", "-indev", str(image), "-extract", "/", str(extracted)])
    for name in CD_FILES:
        assert sha256(extracted / name) == sha256(options.build / "cd" / name), name
    autorun = (extracted / "autorun.inf").read_bytes()
    assert autorun == b"[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe,0\r\nlabel=VARNOK\r\n", autorun


PASSWORD = "Pelmor-test-password"


def recorded_path(work, env):
    """A PATH on which osslsigncode notes each command line it is given in
    `work`/commands.txt, and it and the release's later steps (sha256sum) their environment
    in `work`/environments.txt, then run."""
    shim = work / "shim"
    shim.mkdir()
    for program in ("osslsigncode", "sha256sum"):
        (shim / program).write_text(
            f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{work / "commands.txt"}"\n'
            f'env >> "{work / "environments.txt"}"\n'
            f'exec {shutil.which(program)} "$@"\n')
        (shim / program).chmod(0o755)
    return f"{shim}:{env['PATH']}"


@CHECKS
def signing_signs_each_program_and_reads_back(options):
    """With no certificate nothing changes; with one whose key has a password, given as a
    file or in the environment, each program is signed and verifies, and the password never
    stands on osslsigncode's command line, where every local user could read it."""
    work = options.work / "signing"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    log = work / "log.txt"
    env = {key: value for key, value in os.environ.items() if not key.startswith("VARNOK_")}
    shutil.copytree(options.build / "cd", work / "unsigned")
    before = {name: sha256(work / "unsigned" / name) for name in CD_FILES}
    unsigned = run([str(ROOT / "tools" / "sign.sh"), str(work / "unsigned")], env=env)
    assert "No certificate named" in unsigned, unsigned
    assert before == {name: sha256(work / "unsigned" / name) for name in CD_FILES}

    run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-passout", f"pass:{PASSWORD}",
         "-days", "2", "-subj", "/CN=Pelmor Test Signing", "-keyout", str(work / "key.pem"),
         "-out", str(work / "cert.pem")], log=log)
    (work / "password.txt").write_text(PASSWORD + "\n")
    env.update(VARNOK_SIGN_CERT=str(work / "cert.pem"), VARNOK_SIGN_KEY=str(work / "key.pem"),
               VARNOK_SIGN_CAFILE=str(work / "cert.pem"), PATH=recorded_path(work, env))
    for given in ({"VARNOK_SIGN_PASS_FILE": str(work / "password.txt")},
                  {"VARNOK_SIGN_PASS": PASSWORD}):
        cd = work / next(iter(given))
        shutil.copytree(options.build / "cd", cd)
        run([str(ROOT / "tools" / "sign.sh"), str(cd)], env=env | given, log=log)
        for name in ["Setup.exe", "Tourlet.exe", "VARNOK/Setup.exe"]:
            assert sha256(cd / name) != before[name], f"{name} was not signed ({given})"
            verified = run(["osslsigncode", "verify", "-CAfile", str(work / "cert.pem"),
                            "-in", str(cd / name)])
            assert "Signature verification: ok" in verified, (name, verified)
            assert "Pelmor Test Signing" in verified, (name, verified)
    commands = (work / "commands.txt").read_text()
    assert [line.split()[0] for line in commands.splitlines()].count("sign") == 6, commands
    assert PASSWORD not in (work / "environments.txt").read_text(), "the password was handed on"
    assert PASSWORD not in commands, "the password stood on osslsigncode's command line"


SOFTHSM = Path("/usr/lib/softhsm/libsofthsm2.so")
PIN = "20261209"


def certificate(work, name, subject, issuer=None, extensions=()):
    """A test certificate and its key file: self-signed where no issuer (a name already made)
    is given."""
    key, cert = work / f"{name}.key", work / f"{name}.pem"
    if issuer is None:
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
             "-subj", subject, "-keyout", str(key), "-out", str(cert),
             *[arg for extension in extensions for arg in ("-addext", extension)]])
        return cert
    run(["openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", subject,
         "-keyout", str(key), "-out", str(work / f"{name}.csr")])
    (work / f"{name}.ext").write_text("\n".join(extensions) + "\n")
    run(["openssl", "x509", "-req", "-in", str(work / f"{name}.csr"), "-days", "2",
         "-CA", str(work / f"{issuer}.pem"), "-CAkey", str(work / f"{issuer}.key"),
         "-CAcreateserial", "-extfile", str(work / f"{name}.ext"), "-out", str(cert)])
    return cert


@contextlib.contextmanager
def time_stamp_authority(work):
    """An RFC 3161 time-stamp authority on 127.0.0.1: OpenSSL's ts -reply behind a small HTTP
    server, for as long as the block runs; its URL."""
    (work / "tsa.cnf").write_text(f"""[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {work / "tsa.serial"}
crypto_device = builtin
signer_cert = {work / "tsa.pem"}
certs = {work / "tsa.pem"}
signer_key = {work / "tsa.key"}
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
""")
    (work / "tsa.serial").write_text("01\n")

    class Reply(http.server.BaseHTTPRequestHandler):
        def do_POST(self):  # noqa: N802, the handler's name
            query = self.rfile.read(int(self.headers["Content-Length"]))
            with tempfile.TemporaryDirectory() as folder:
                (Path(folder) / "query").write_bytes(query)
                made = subprocess.run(["openssl", "ts", "-reply", "-config", str(work / "tsa.cnf"),
                                       "-queryfile", f"{folder}/query", "-out", f"{folder}/reply"],
                                      stdin=subprocess.DEVNULL, capture_output=True)
                reply = (Path(folder) / "reply").read_bytes() if made.returncode == 0 else b""
            self.send_response(200 if reply else 500)
            self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Reply)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        yield f"http://127.0.0.1:{server.server_address[1]}"
    finally:
        server.shutdown()
        server.server_close()
        thread.join(10)


def unused_port():
    """A port on 127.0.0.1 where nothing listens."""
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@CHECKS
def a_key_in_a_token_signs_and_time_stamps_every_program(options):
    """A fresh SoftHSM2 token holds a test root's code-signing key, imported once; a local
    time-stamp authority answers. A release signs the three programs through the token, each
    time-stamped, and each verifies, chain and time-stamp, against the test roots; the PIN
    stands on no command line and in no later step's environment. A wrong PIN, a key the token
    does not hold, an unreachable time-stamp server, a release with no server named, a URI that
    carries its PIN, a certificate file that is not there and a release with no certificate
    each fail with a clear message and leave no program half signed and no release."""
    work = options.work / "token"
    shutil.rmtree(work, ignore_errors=True)
    (work / "tokens").mkdir(parents=True)
    (work / "softhsm2.conf").write_text(f"directories.tokendir = {work / 'tokens'}\n"
                                       "objectstore.backend = file\nlog.level = ERROR\n")
    env = {key: value for key, value in os.environ.items() if not key.startswith("VARNOK_")}
    env["SOFTHSM2_CONF"] = str(work / "softhsm2.conf")
    run(["softhsm2-util", "--init-token", "--free", "--label", "varnok-test", "--pin", PIN,
         "--so-pin", PIN[::-1]], env=env)
    ca = ["basicConstraints=critical,CA:true", "keyUsage=critical,keyCertSign"]
    root = certificate(work, "root", "/CN=Pelmor Test Root", extensions=ca)
    signing = certificate(work, "signing", "/CN=Pelmor Test Signing", "root",
                          ["keyUsage=critical,digitalSignature", "extendedKeyUsage=codeSigning"])
    tsa_root = certificate(work, "tsa-root", "/CN=Pelmor Test Time-Stamp Root", extensions=ca)
    certificate(work, "tsa", "/CN=Pelmor Test Time-Stamps", "tsa-root",
                ["keyUsage=critical,digitalSignature", "extendedKeyUsage=critical,timeStamping"])
    run(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", str(work / "signing.key"),
         "-out", str(work / "signing.p8")])
    run(["softhsm2-util", "--import", str(work / "signing.p8"), "--token", "varnok-test",
         "--label", "signing", "--id", "01", "--pin", PIN], env=env)
    for copy in ("signing.key", "signing.p8"):  # the key is the token's alone from here on
        (work / copy).unlink()
    env.update(PATH=recorded_path(work, env), VARNOK_SIGN_PKCS11_MODULE=str(SOFTHSM),
               VARNOK_SIGN_KEY="pkcs11:token=varnok-test;object=signing;type=private",
               VARNOK_SIGN_CERT=str(signing), VARNOK_SIGN_CAFILE=str(root),
               VARNOK_SIGN_TSA_CAFILE=str(tsa_root), VARNOK_SIGN_PASS=PIN)
    programs = ["Setup.exe", "Tourlet.exe", "VARNOK/Setup.exe"]

    def release(name, **given):
        """tools/dist.sh on a fresh copy of the CD: its exit code and what it said."""
        cd = work / name / "cd"
        shutil.copytree(options.build / "cd", cd)
        done = subprocess.run([str(ROOT / "tools" / "dist.sh"), str(cd),
                               str(work / name / "varnok-cd.iso"), str(work / name / "dist")],
                              env=env | given, stdin=subprocess.DEVNULL, capture_output=True,
                              text=True)
        return cd, done.returncode, done.stdout + done.stderr

    with time_stamp_authority(work) as authority:
        cd, code, said = release("good", VARNOK_SIGN_TIME=authority)
        assert code == 0, said
        for name in programs:
            verified = run(["osslsigncode", "verify", "-CAfile", str(root), "-TSA-CAfile",
                            str(tsa_root), "-in", str(cd / name)])
            for line in ("Signature verification: ok",
                         "Timestamp Server Signature verification: ok", "Pelmor Test Signing"):
                assert line in verified, (name, line, verified)
        assert (work / "good" / "dist" / "SHA256SUMS").exists()
        failures = {
            "wrong-pin": ({"VARNOK_SIGN_TIME": authority, "VARNOK_SIGN_PASS": "0000"},
                          "refused the PIN"),
            "no-such-key": ({"VARNOK_SIGN_TIME": authority,
                             "VARNOK_SIGN_KEY": "pkcs11:token=varnok-test;object=none"},
                            "no such key"),
            "no-authority": ({"VARNOK_SIGN_TIME": f"http://127.0.0.1:{unused_port()}"},
                             "no time-stamp from"),
            "no-server-named": ({}, "no time-stamp server named"),
            "pin-in-uri": ({"VARNOK_SIGN_TIME": authority, "VARNOK_SIGN_KEY":
                            "pkcs11:token=varnok-test;object=signing?pin-value=" + PIN},
                           "carries its PIN"),
            "no-certificate-file": ({"VARNOK_SIGN_TIME": authority,
                                     "VARNOK_SIGN_CERT": str(work / "none.pem")},
                                    "no certificate at"),
            "unsigned": ({"VARNOK_SIGN_KEY": "", "VARNOK_SIGN_CERT": ""},
                         "a release must be signed"),
        }
        for name, (given, told) in failures.items():
            cd, code, said = release(name, **given)
            assert code != 0 and told in said, (name, said)
            unchanged = [program for program in programs
                         if sha256(cd / program) == sha256(options.build / "cd" / program)]
            assert unchanged == programs, (name, "half signed", unchanged)
            assert not (work / name / "dist").exists(), (name, "a release was left")
    for name, given in (("test-release", {"VARNOK_SIGN_UNTIMESTAMPED": "1"}),
                        ("unsigned-test-release", {"VARNOK_SIGN_KEY": "", "VARNOK_SIGN_CERT": "",
                                                   "VARNOK_SIGN_UNSIGNED": "1"})):
        cd, code, said = release(name, **given)
        assert code == 0 and (work / name / "dist").exists(), (name, said)
    commands = (work / "commands.txt").read_text()
    assert PIN not in commands, "the PIN stood on osslsigncode's command line"
    environments = (work / "environments.txt").read_text()
    assert environments and PIN not in environments, "the PIN was handed on"


def clean_build(clone, log):
    """The CD and its image, built from a fresh clone alone."""
    run(["git", "clone", "-q", "--no-hardlinks", str(ROOT), str(clone)], log=log)
    for preset in ("host", "win32"):
        run(["cmake", "--preset", preset], cwd=clone, log=log)
    run(["cmake", "--build", "--preset", "host", "--target", "varnok_clip"], cwd=clone, log=log)
    run(["cmake", "--build", "--preset", "win32", "-j", str(os.cpu_count() or 1), "--target",
         "Setup", "Tourlet", "InstallerStandIn"], cwd=clone, log=log)
    run(["tools/stage-cd.sh", "build/win32", "build/host", "build/cd"], cwd=clone, log=log)
    run(["tools/make-iso.sh", "build/cd", "build/varnok-cd.iso"], cwd=clone, log=log)
    return {name: sha256(clone / "build" / "cd" / name) for name in CD_FILES} | {
        "image": sha256(clone / "build" / "varnok-cd.iso")}


@CHECKS
def two_clean_builds_give_the_same_bytes(options):
    """From the last commit: work not yet committed is not in the clones."""
    work = options.work / "repeat"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    first = clean_build(work / "one", work / "one.log")
    second = clean_build(work / "another folder, longer", work / "another.log")
    differing = [name for name in first if first[name] != second[name]]
    assert not differing, f"differ between the builds: {differing}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", type=Path, default=Path("build"))
    parser.add_argument("--work", type=Path, default=Path("build/release"))
    parser.add_argument("names", nargs="*")
    options = parser.parse_args()
    options.build, options.work = options.build.resolve(), options.work.resolve()
    options.work.mkdir(parents=True, exist_ok=True)
    runner = Runner()
    for function in CHECKS.tests:
        if not options.names or function.__name__ in options.names:
            runner.run(function.__name__, lambda: function(options))
    return runner.close()


if __name__ == "__main__":
    sys.exit(main())
