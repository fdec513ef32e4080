#!/usr/bin/env python3
# The store packages of make dist; and two builds of copies of extension/ with files of other
# times and modes and with PLANTED files (True: a package takes it).
import io, json, os, shutil, subprocess, sys, tempfile, unittest, zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
EXTENSION = os.path.join(ROOT, "extension")
PACKAGES = {"kelvora-link-chromium.zip": ["key"], "kelvora-link-firefox.xpi": ["background", "service_worker"]}
PLANTED = {"_locales/en/messages.json": True, "contest.js": True, "tests/page.html": False,
           "content.test.js": False, "host_test.js": False, "options.spec.js": False, ".eslintrc": False}


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files(package):
    with zipfile.ZipFile(io.BytesIO(package)) as z:
        return {name: z.read(name) for name in z.namelist()}


class StorePackages(unittest.TestCase):
    def test_each_package_is_the_extension_with_the_products_version_less_what_its_store_refuses(self):
        manifest = json.loads(read(os.path.join(EXTENSION, "manifest.json")))
        version = subprocess.check_output(["bash", os.path.join(ROOT, "installer", "product-version.sh")], text=True)
        self.assertEqual(version.strip(), manifest["version"])
        for name, member in PACKAGES.items():
            packaged, expected = files(read(os.path.join(ROOT, "dist", "store", name))), json.loads(json.dumps(manifest))
            del (expected if len(member) == 1 else expected[member[0]])[member[-1]]
            self.assertEqual(expected, json.loads(packaged.pop("manifest.json")), name)
            self.assertLessEqual({"background.js", "content.js"}, set(packaged), name)
            for path, data in packaged.items():
                self.assertEqual(read(os.path.join(EXTENSION, path)), data, path)

    def build(self, mode, mtime):
        work = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, work)
        source = shutil.copytree(EXTENSION, os.path.join(work, "source"))
        for path in PLANTED:
            os.makedirs(os.path.dirname(os.path.join(source, path)), exist_ok=True)
            open(os.path.join(source, path), "w").close()
        for folder, _, names in os.walk(source):
            for path in (os.path.join(folder, name) for name in names):
                os.chmod(path, mode)
                os.utime(path, (mtime, mtime))
        subprocess.run([sys.executable, os.path.join(ROOT, "installer", "build-store-packages.py"),
                        os.path.join(work, "out"), source], check=True)
        return {name: read(os.path.join(work, "out", name)) for name in PACKAGES}

    def test_the_same_files_give_the_same_bytes_and_no_test_only_file(self):
        first, second = self.build(0o644, 1e9), self.build(0o755, 2e9)
        self.assertEqual(first, second)
        for package in first.values():
            self.assertEqual(PLANTED, {path: path in files(package) for path in PLANTED})


unittest.main()
