#!/usr/bin/env python3
"""A setup made by `vempack build` from the win32 stub, read by independent
PE readers (pefile, wrestool, objdump), then signed with osslsigncode and
verified. Exits 77 (skipped) when the stub or a reader is missing.

Usage: setup_readers_test.py VEMPACK STUB
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

VEMPACK, STUB = sys.argv[1], sys.argv[2]
SKIP = 77


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, check=False, **kwargs)


def vempack(*args):
    result = run(VEMPACK, *args)
    if result.returncode != 0:
        raise AssertionError(f"vempack {' '.join(args)}: {result.stderr.decode()}")
    return result.stdout.decode()


class BuiltSetup(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="vemsetup-readers-")
        cls.files = []
        for name, data in [("Setup.exe", os.urandom(20000)), ("Read me.txt", b"read me\r\n")]:
            path = os.path.join(cls.dir, name)
            with open(path, "wb") as f:
                f.write(data)
            cls.files.append(path)
        cls.payload = cls.path("payload.lzma")
        cls.setup = cls.path("setup.exe")
        vempack("create", "-o", cls.payload, *cls.files)
        # No --stub: the build tree's stub is the default.
        vempack("build", "-o", cls.setup, *cls.files)
        cls.payload_bytes = cls.read(cls.payload)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir, name)

    @staticmethod
    def read(path):
        with open(path, "rb") as f:
            return f.read()

    def resources(self, pe):
        found = {}
        for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
            type_key = str(kind.name) if kind.name is not None else kind.id
            for name in kind.directory.entries:
                for lang in name.directory.entries:
                    entry = lang.data.struct
                    found[(type_key, name.id)] = pe.get_data(entry.OffsetToData, entry.Size)
        return found

    def test_pefile_reads_the_payload_and_the_stub_resources(self):
        import pefile

        stub = pefile.PE(STUB)
        pe = pefile.PE(self.setup)
        self.assertEqual(pe.get_warnings(), [])
        self.assertTrue(pe.verify_checksum())
        self.assertNotEqual(pe.OPTIONAL_HEADER.CheckSum, 0)
        self.assertEqual(pe.sections[-1].Name.rstrip(b"\0"), b".rsrc")
        resources = self.resources(pe)
        self.assertEqual(resources[("PACKAGE", 105)], self.payload_bytes)
        stub_resources = self.resources(stub)
        for key in [(16, 1), (24, 1)]:  # version information, manifest
            self.assertEqual(resources[key], stub_resources[key], key)
        self.assertEqual(set(resources), set(stub_resources) | {("PACKAGE", 105)})
        # Everything before the resource section is the stub's own, but for
        # the sizes and the checksum in the headers.
        start = pe.sections[-1].PointerToRawData
        self.assertEqual(self.read(self.setup)[pe.OPTIONAL_HEADER.SizeOfHeaders:start],
                         self.read(STUB)[pe.OPTIONAL_HEADER.SizeOfHeaders:start])

    def test_the_stub_keeps_rsrc_last_and_has_no_link_time(self):
        import pefile

        stub = pefile.PE(STUB)
        self.assertEqual(stub.sections[-1].Name.rstrip(b"\0"), b".rsrc")
        self.assertEqual(stub.FILE_HEADER.TimeDateStamp, 0)

    def test_wrestool_lists_and_extracts_the_payload(self):
        if not shutil.which("wrestool"):
            self.skipTest("wrestool (icoutils) is not installed")
        listing = run("wrestool", "-l", self.setup).stdout.decode()
        self.assertIn("--type='PACKAGE' --name=105", listing)
        self.assertIn("--type=16 --name=1", listing)
        extracted = run("wrestool", "-x", "--raw", "--type=PACKAGE", "--name=105", self.setup)
        self.assertEqual(extracted.returncode, 0)
        self.assertEqual(extracted.stdout, self.payload_bytes)

    def test_objdump_reads_the_headers_and_the_tree(self):
        objdump = shutil.which("i686-w64-mingw32-objdump")
        if not objdump:
            self.skipTest("i686-w64-mingw32-objdump is not installed")
        result = run(objdump, "-p", self.setup)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = result.stdout.decode()
        self.assertRegex(text, r"name: \[[^\]]*\]: PACKAGE,[^\n]*\n[^\n]*Name Table[^\n]*\n"
                         r"[^\n]*Entry: ID: 0x0*69,")
        size = re.search(r"Entry 2 [0-9a-f]+ ([0-9a-f]+) Resource Directory", text)
        self.assertIsNotNone(size)
        self.assertGreater(int(size.group(1), 16), len(self.payload_bytes))

    def test_version_information_and_icon_of_our_own(self):
        import pefile

        width = 16
        image = (struct.pack("<IiiHHIIiiII", 40, width, 2 * width, 1, 32, 0, 0, 0, 0, 0, 0)
                 + bytes([0x20, 0x80, 0xE0, 0xFF]) * width * width + bytes(4 * width))
        ico = (struct.pack("<HHH", 0, 1, 1)
               + struct.pack("<BBBBHHII", width, width, 0, 0, 1, 32, len(image), 22) + image)
        with open(self.path("app.ico"), "wb") as f:
            f.write(ico)
        out = self.path("branded.exe")
        vempack("build", "-o", out, "--icon", self.path("app.ico"),
                "--version-info", "ProductName=Vemlo Reader \u00e9dition",
                "--version-info", "FileVersion=2.3.4.5", "--version-info", "CompanyName=Vemlo",
                *self.files)
        pe = pefile.PE(out)
        self.assertEqual(pe.get_warnings(), [])
        self.assertTrue(pe.verify_checksum())
        tables = [table.entries for info in pe.FileInfo for entry in info
                  if hasattr(entry, "StringTable") for table in entry.StringTable]
        self.assertEqual(tables, [{b"ProductName": "Vemlo Reader \u00e9dition".encode(),
                                   b"FileVersion": b"2.3.4.5", b"CompanyName": b"Vemlo"}])
        fixed = pe.VS_FIXEDFILEINFO[0]
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), (0x20003, 0x40005))
        self.assertEqual(self.resources(pe)[("PACKAGE", 105)], self.payload_bytes)
        if shutil.which("wrestool"):
            listing = run("wrestool", "-l", out).stdout.decode()
            self.assertIn("--type=14 --name=1", listing)
            self.assertEqual(run("wrestool", "-x", "--raw", "--type=3", "--name=1", out).stdout,
                             image)
            # wrestool rebuilds the .ico from the group and its images.
            self.assertTrue(run("wrestool", "-x", "--type=14", out).stdout.startswith(ico))

    def test_signed_setup_verifies_and_still_lists(self):
        for tool in ("openssl", "osslsigncode"):
            if not shutil.which(tool):
                self.skipTest(f"{tool} is not installed")
        key, cert, signed = self.path("key.pem"), self.path("cert.pem"), self.path("signed.exe")
        made = run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                   "-keyout", key, "-out", cert, "-subj", "/CN=vemsetup test signer",
                   "-addext", "extendedKeyUsage=codeSigning")
        self.assertEqual(made.returncode, 0, made.stderr)
        sign = run("osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-ph",
                   "-n", "vemsetup test", "-in", self.setup, "-out", signed)
        self.assertEqual(sign.returncode, 0, sign.stderr)

        # Untrusted: everything holds but the chain, which ends in a
        # self-signed certificate.
        untrusted = run("osslsigncode", "verify", "-in", signed)
        text = untrusted.stdout.decode()
        current = re.search(r"Current message digest\s*: (\w+)", text).group(1)
        self.assertEqual(current, re.search(r"Calculated message digest\s*: (\w+)", text).group(1))
        page = re.search(r"Page hash\s*: (\w+)", text).group(1)
        self.assertEqual(page, re.search(r"Calculated page hash\s*: (\w+)", text).group(1))
        errors = re.findall(r"Error: (.*)", text)
        self.assertEqual(errors, ["self-signed certificate"], text)
        # Trusted once the certificate is given as the authority.
        trusted = run("osslsigncode", "verify", "-in", signed, "-CAfile", cert)
        self.assertEqual(trusted.returncode, 0, trusted.stdout)
        self.assertIn("Signature verification: ok", trusted.stdout.decode())

        self.assertIn("Read me.txt", vempack("list", signed))
        refused = run(VEMPACK, "build", "-o", self.path("again.exe"), "--stub", signed,
                      "--payload", self.setup)
        self.assertEqual(refused.returncode, 2)
        self.assertIn(b"--strip-signature", refused.stderr)
        vempack("build", "-o", self.path("again.exe"), "--stub", signed, "--strip-signature",
                "--payload", self.setup)
        self.assertEqual(self.read(self.path("again.exe")), self.read(self.setup))


if __name__ == "__main__":
    try:
        import pefile  # noqa: F401
    except ImportError:
        print("python3-pefile is not installed")
        sys.exit(SKIP)
    if not os.path.isfile(STUB):
        print(f"{STUB} does not exist; build it with cmake --build --preset win32")
        sys.exit(SKIP)
    sys.exit(0 if unittest.main(argv=sys.argv[:1], exit=False).result.wasSuccessful() else 1)
