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

# Encodings that expat decodes: a byte-order mark before UTF-8, and UTF-16 with its mark.
dc_xml = plistlib.dumps(seeds["acrobat-dc"], fmt=plistlib.FMT_XML)
(corpus / "bom.xml").write_bytes(b"\xef\xbb\xbf" + dc_xml)
(corpus / "utf16.xml").write_bytes(
    dc_xml.decode().replace('encoding="UTF-8"', 'encoding="UTF-16"').encode("utf-16"))

# Binary files within the limits that a reader walking its arrays from the start at every
# element takes seconds over: 130,000 references to one integer, and 16,000 integers.
(corpus / "references-130000.bin").write_bytes(plistlib.dumps(
    {"CFBundleIdentifier": "com.adobe.Acrobat.Pro", "References": [7] * 130000}, fmt=plistlib.FMT_BINARY))
(corpus / "integers-16000.bin").write_bytes(plistlib.dumps(
    {"CFBundleIdentifier": "com.adobe.Acrobat.Pro", "Integers": [2**40 + i for i in range(16000)]},
    fmt=plistlib.FMT_BINARY))


def binary_plist(objects, ref_size):
    """A binary property list of encoded objects, the first being the root; offsets of 4 bytes."""
    out = bytearray(b"bplist00")
    offsets = []
    for encoded in objects:
        offsets.append(len(out))
        out += encoded
    table = len(out)
    out += b"".join(offset.to_bytes(4, "big") for offset in offsets)
    out += bytes(6) + bytes([4, ref_size]) + len(objects).to_bytes(8, "big") + bytes(8) + table.to_bytes(8, "big")
    return bytes(out)


# {k: [a0, a1, ...]}: 250 arrays in 1 MiB that each claim 983,040 one-byte references, which
# overlap: each array's first reference is the next array, the rest run over the next arrays'
# first bytes and a shared tail of references to an integer.
arrays = 250
claim = 983040
overlapping = [b"\xd1\x01\x02", b"\x51k", b"\xaf\x11" + arrays.to_bytes(2, "big") + bytes(range(3, 3 + arrays))]
overlapping += [b"\xaf\x12" + claim.to_bytes(4, "big") + bytes([4 + i]) for i in range(arrays)]
overlapping.append(b"\x10\x07" + bytes([3 + arrays]) * claim)
(corpus / "overlapping-arrays.bin").write_bytes(binary_plist(overlapping, 1))
