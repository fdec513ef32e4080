#!/usr/bin/env python3
"""build-store-packages.py OUTDIR [EXTENSION_DIR]: the extension as the stores take it.

OUTDIR/kelvora-link-chromium.zip for the Chrome Web Store and Edge Add-ons, and
OUTDIR/kelvora-link-firefox.xpi for addons.mozilla.org (unsigned: the store signs it), from the
files of EXTENSION_DIR (default: extension/ beside installer/). Its manifest's version must be
the product's (installer/product-version.sh). Each package's manifest leaves out what its store
refuses or its browser ignores; every other file goes in as it is, but for dotfiles and
test-only files (a folder test/ or tests/, a name *.test.* or *_test.*). The same
files give the same bytes: names in order, one time, one mode.
"""
import json
import os
import re
import subprocess
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TEST_ONLY = re.compile(r"(^|/)(\.|tests?/)|[._]test\.[^/]*$")
# 1980-01-01, the first time a zip entry can carry.
ENTRY_TIME = (1980, 1, 1, 0, 0, 0)


def chromium_manifest(manifest):
    # The Chrome Web Store refuses a manifest with a "key" and gives the extension the id of
    # its own; the key only fixes the id of an unpacked copy.
    manifest.pop("key", None)


def firefox_manifest(manifest):
    # Firefox runs background.scripts and ignores a service worker; its linter warns of one.
    background = manifest.get("background", {})
    if "scripts" in background:
        background.pop("service_worker", None)


PACKAGES = (("kelvora-link-chromium.zip", chromium_manifest),
            ("kelvora-link-firefox.xpi", firefox_manifest))


def fail(message):
    sys.exit("build-store-packages.py: " + message)


def packaged_files(source):
    names = []
    for folder, _, files in os.walk(source):
        for name in files:
            path = os.path.relpath(os.path.join(folder, name), source).replace(os.sep, "/")
            if not TEST_ONLY.search(path):
                names.append(path)
    return sorted(names)


def named_files(manifest):
    """The files the manifest names, which a package cannot do without."""
    named = list(manifest.get("background", {}).get("scripts", []))
    named += [manifest.get("background", {}).get("service_worker")]
    for script in manifest.get("content_scripts", []):
        named += script.get("js", []) + script.get("css", [])
    named += [manifest.get("options_ui", {}).get("page"),
              manifest.get("storage", {}).get("managed_schema")]
    named += list(manifest.get("icons", {}).values())
    if "default_locale" in manifest:
        named.append("_locales/%s/messages.json" % manifest["default_locale"])
    return [name for name in named if name]


def write_package(path, source, files, manifest):
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as package:
        for name in files:
            entry = zipfile.ZipInfo(name, ENTRY_TIME)
            entry.create_system = 3  # Unix, so that the mode below is read
            entry.external_attr = 0o100644 << 16
            if name == "manifest.json":
                data = (json.dumps(manifest, indent=2, ensure_ascii=False) + "\n").encode()
            else:
                with open(os.path.join(source, name), "rb") as f:
                    data = f.read()
            package.writestr(entry, data, zipfile.ZIP_DEFLATED, 9)
    os.replace(temporary, path)


def main():
    if len(sys.argv) not in (2, 3):
        fail("usage: build-store-packages.py OUTDIR [EXTENSION_DIR]")
    out = sys.argv[1]
    source = sys.argv[2] if len(sys.argv) == 3 else os.path.join(HERE, "..", "extension")
    version = subprocess.run(["bash", os.path.join(HERE, "product-version.sh")], check=True,
                             stdout=subprocess.PIPE, text=True).stdout.strip()
    with open(os.path.join(source, "manifest.json"), encoding="utf-8") as f:
        text = f.read()
    if json.loads(text).get("version") != version:
        fail("the manifest's version is not the product's %s (resources/version.rc)" % version)
    files = packaged_files(source)
    missing = [name for name in named_files(json.loads(text)) if name not in files]
    if missing:
        fail("the manifest names files that are not there: " + ", ".join(missing))
    os.makedirs(out, exist_ok=True)
    for name, adapt in PACKAGES:
        manifest = json.loads(text)
        adapt(manifest)
        write_package(os.path.join(out, name), source, files, manifest)


main()
