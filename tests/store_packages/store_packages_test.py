#!/usr/bin/env python3
# The store packages of make dist, unpacked; and two builds of copies of extension/ with files of
# other times and modes and with PLANTED files (True: a package takes it).
import io, json, os, pathlib, shutil, subprocess, sys, tempfile, unittest, zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
EXTENSION = ROOT / "extension"
PACKAGES = {"kelvora-link-chromium.zip": ["key"], "kelvora-link-firefox.xpi": ["background", "service_worker"]}
PLANTED = {"_locales/en/messages.json": True, "contest.js": True, "tests/page.html": False,
           "content.test.js": False, "host_test.js": False, ".eslintrc": False}


def files(package):
    with zipfile.ZipFile(io.BytesIO(package)) as z:
        return {name: z.read(name) for name in z.namelist()}


def build(mode, mtime):
    with tempfile.TemporaryDirectory() as work:
        source = pathlib.Path(shutil.copytree(EXTENSION, os.path.join(work, "extension")))
        for path in PLANTED:
            (source / path).parent.mkdir(parents=True, exist_ok=True)
            (source / path).touch()
        for path in filter(pathlib.Path.is_file, source.rglob("*")):
            path.chmod(mode)
            os.utime(path, (mtime, mtime))
        subprocess.run([sys.executable, ROOT / "installer/build-store-packages.py", f"{work}/out", source], check=True)
        return {name: pathlib.Path(work, "out", name).read_bytes() for name in PACKAGES}


class StorePackages(unittest.TestCase):
    def test_each_package_is_the_extension_less_what_its_store_refuses_and_the_same_bytes_twice(self):
        manifest = json.loads((EXTENSION / "manifest.json").read_bytes())
        version = subprocess.check_output(["bash", ROOT / "installer/product-version.sh"], text=True)
        self.assertEqual(version.strip(), manifest["version"])
        first = build(0o644, 1e9)
        self.assertEqual(first, build(0o755, 2e9))
        for name, member in PACKAGES.items():
            packaged, expected = files((ROOT / "dist/store" / name).read_bytes()), json.loads(json.dumps(manifest))
            del (expected if len(member) == 1 else expected[member[0]])[member[-1]]
            self.assertEqual(expected, json.loads(packaged.pop("manifest.json")), name)
            self.assertEqual({path: (EXTENSION / path).read_bytes() for path in packaged}, packaged)
            self.assertEqual(PLANTED, {path: path in files(first[name]) for path in PLANTED})


unittest.main()
