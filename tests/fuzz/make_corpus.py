#!/usr/bin/env python3
"""Writes the fuzzer's seed inputs into corpus/: Info.plist files as XML and as binary.

The files are committed; run this again only to change the seeds. Crash reproducers found by
the fuzzer are kept beside these as corpus/crash-* and are not written here.
"""
import datetime
import json
import pathlib
import plistlib

here = pathlib.Path(__file__).resolve().parent
corpus = here / "corpus"
corpus.mkdir(exist_ok=True)
template = json.loads((here.parent / "data" / "AcrobatInfo.json").read_text())


def acrobat(version, name="Adobe Acrobat Pro", **extra):
    info = dict(template, CFBundleName=name, CFBundleShortVersionString=version)
    # A second claim, in the Viewer role, that must not count.
    info["CFBundleDocumentTypes"] = template["CFBundleDocumentTypes"] + [
        {"CFBundleTypeRole": "Viewer", "CFBundleTypeMIMETypes": ["application/pdf"]}]
    info.update(extra)
    return info


seeds = {
    "acrobat-11": acrobat("11.0.23"),
    "acrobat-dc": acrobat("15.006", "Adobe Acrobat DC"),
    "acrobat-2017": acrobat("17.012", CFBundleVersion=17012, LSRequiresNativeExecution=True),
    "plugin-copy": {"CFBundleName": "Foldwise", "CFBundleShortVersionString": "2.5"},
    "every-type": {
        "CFBundleIdentifier": "com.adobe.Acrobat.Pro",
        "CFBundleShortVersionString": "-1",
        "string": "caf\u00e9 \u2603 \U0001F600",
        "integer": -(2**63),
        "big": 2**64 - 1,
        "real": 1.5e300,
        "true": True,
        "false": False,
        "date": datetime.datetime(2001, 1, 1, 0, 0, 1),
        "data": bytes(range(256)),
        "array": [[[], {}], [1, "two", 3.0]],
        "dict": {"": {"nested": {"deeper": []}}},
    },
}

for name, value in seeds.items():
    (corpus / f"{name}.xml").write_bytes(plistlib.dumps(value, fmt=plistlib.FMT_XML))
    (corpus / f"{name}.bin").write_bytes(plistlib.dumps(value, fmt=plistlib.FMT_BINARY))

# Shapes that only one format can express, or that are not dictionaries at all.
(corpus / "uid.bin").write_bytes(plistlib.dumps({"$top": {"root": plistlib.UID(1)}}, fmt=plistlib.FMT_BINARY))
(corpus / "array-root.bin").write_bytes(plistlib.dumps(["CFBundleIdentifier"], fmt=plistlib.FMT_BINARY))
(corpus / "shared-objects.bin").write_bytes(
    plistlib.dumps({"a": ["x"] * 8, "b": ["x"] * 8}, fmt=plistlib.FMT_BINARY))
(corpus / "nested.xml").write_bytes(
    b'<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0"><dict><key>k</key>'
    + b"<array>" * 40 + b"</array>" * 40 + b"</dict></plist>\n")
(corpus / "entities.xml").write_bytes(
    b'<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE plist [<!ENTITY a "aaaa">]>\n'
    b'<plist version="1.0"><dict><key>CFBundleName</key><string>&a;&amp;&#x41;&#65;</string>'
    b"<key>CFBundleIdentifier</key><string><![CDATA[com.adobe.Acrobat.Pro]]></string></dict></plist>\n")
# One string referred to many times: it expands to more than a file we read may hold.
(corpus / "shared-string.bin").write_bytes(plistlib.dumps(
    {"CFBundleIdentifier": "com.adobe.Acrobat.Pro", "Padding": ["x" * 4096] * 300}, fmt=plistlib.FMT_BINARY))
