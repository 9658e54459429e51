#!/usr/bin/env python3
"""Writes the seed corpus of the state fuzzer into corpus/state/.

Seeds are valid blobs and the ways a blob goes wrong in the field: truncated, another
magic, length fields that lie, broken or hostile XML, other encodings. Files the fuzzer
found on its own (crash-*, timeout-*, slow-unit-*) are kept next to them as regression
cases and are never rewritten by this script."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "corpus", "state")
os.makedirs(out, exist_ok=True)

DECL = b'<?xml version="1.0" encoding="UTF-8"?> '


def blob(xml, length=None, magic=b"VC2!", terminator=b"\0"):
    if isinstance(xml, str):
        xml = xml.encode("utf-8")
    n = len(xml) if length is None else length
    return magic + struct.pack("<i" if n < 0 else "<I", n) + xml + terminator


def element(attrs, tag="MYPLUGINSETTINGS"):
    return DECL + ("<%s %s/>" % (tag, attrs)).encode("utf-8")


valid = element('dbEnable="1" dbMain="-0.1000000014901161"')
seeds = {
    "valid-default": blob(valid),
    "valid-off-low": blob(element('dbEnable="0" dbMain="-6.0"')),
    "valid-fraction-switch": blob(element('dbEnable="0.7" dbMain="-1.234"')),
    "valid-lowercase-tag": blob(element('dbEnable="1" dbMain="-3"', tag="myPluginSettings")),
    "valid-no-declaration": blob(b'<MYPLUGINSETTINGS dbEnable="1" dbMain="-2.5"/>'),
    "valid-children": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="1" dbMain="-2"><A><B x="1"/></A>text</MYPLUGINSETTINGS>'),
    "values-out-of-range": blob(element('dbEnable="2" dbMain="-20"')),
    "values-not-numbers": blob(element('dbEnable="on" dbMain="loud"')),
    "values-nan-inf": blob(element('dbEnable="nan" dbMain="inf"')),
    "values-exponent": blob(element('dbEnable="1e308" dbMain="-1e400"')),
    "values-hex-and-space": blob(element('dbEnable=" 0x1" dbMain="  -3.5dB"')),
    "missing-attributes": blob(element("")),
    "attribute-caps": blob(element('DBENABLE="0" DBMAIN="-4"')),
    "duplicate-attributes": blob(element('dbMain="-1" dbMain="-5" dbEnable="1" dbEnable="0"')),
    "other-tag": blob(element('dbEnable="1" dbMain="-1"', tag="OTHERSETTINGS")),
    "empty": b"",
    "eight-bytes": b"VC2!\x05\x00\x00\x00",
    "nine-bytes": b"VC2!\x01\x00\x00\x00<",
    "truncated-header": valid[:6],
    "truncated-xml": blob(valid)[:40],
    "truncated-no-terminator": blob(valid, terminator=b""),
    "wrong-magic": blob(valid, magic=b"VC2?"),
    "magic-big-endian": blob(valid, magic=b"!2CV"),
    "length-zero": blob(valid, length=0),
    "length-negative": blob(valid, length=-1),
    "length-min-int": blob(valid, length=-(2 ** 31)),
    "length-huge": blob(valid, length=0x7FFFFFFF),
    "length-all-ones": struct.pack("<4sI", b"VC2!", 0xFFFFFFFF) + valid + b"\0",
    "length-short": blob(valid, length=20),
    "embedded-zero": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="1"\0 dbMain="-3"/>'),
    "leading-zero": blob(b"\0" + valid),
    "malformed-unclosed": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="1" dbMain="-3"'),
    "malformed-quote": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="1 dbMain=-3/>'),
    "malformed-mismatch": blob(DECL + b"<MYPLUGINSETTINGS><a></b></MYPLUGINSETTINGS>"),
    "malformed-two-roots": blob(element('dbEnable="1"') + b"<MYPLUGINSETTINGS/>"),
    "entities": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="&#49;" dbMain="&#x2D;3&amp;"/>'),
    "entity-unknown": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="&nope;" dbMain="&#99999999999;"/>'),
    "dtd-entity": blob(b'<?xml version="1.0"?><!DOCTYPE M [<!ENTITY e "-4">]><MYPLUGINSETTINGS dbEnable="1" dbMain="&e;"/>'),
    "dtd-entity-nested": blob(b'<!DOCTYPE M [<!ENTITY a "&b;&b;"><!ENTITY b "&c;&c;"><!ENTITY c "-1">]>'
                              b'<MYPLUGINSETTINGS dbMain="&a;"/>'),
    "dtd-entity-self": blob(b'<!DOCTYPE M [<!ENTITY a "&a;">]><MYPLUGINSETTINGS dbMain="&a;"/>'),
    "dtd-external": blob(b'<!DOCTYPE M SYSTEM "/etc/passwd"><MYPLUGINSETTINGS dbMain="&x;"/>'),
    "comment-cdata": blob(DECL + b'<!-- c --><MYPLUGINSETTINGS dbEnable="1"><![CDATA[<<>>]]></MYPLUGINSETTINGS>'),
    "deep-nesting-small": blob(DECL + b"<MYPLUGINSETTINGS>" + b"<a>" * 200 + b"</a>" * 200 + b"</MYPLUGINSETTINGS>"),
    "deep-nesting": blob(DECL + b"<MYPLUGINSETTINGS>" + b"<a>" * 30000 + b"</a>" * 30000 + b"</MYPLUGINSETTINGS>"),
    "deep-nesting-unclosed": blob(b"<a>" * 30000),
    "many-attributes": blob(element(" ".join('a%d="%d"' % (i, i) for i in range(3000)) + ' dbMain="-2"')),
    "long-attribute": blob(element('dbEnable="1" dbMain="-' + "1" * 20000 + '"')),
    "utf8-bom": blob(b"\xef\xbb\xbf" + valid),
    "utf16-le": blob(valid.decode().encode("utf-16-le")),
    "utf16-be-bom": blob(valid.decode().encode("utf-16")),
    "latin1-declared": blob(b'<?xml version="1.0" encoding="ISO-8859-1"?><MYPLUGINSETTINGS dbEnable="1" dbMain="-3\xb0"/>'),
    "invalid-utf8": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="\xff\xfe" dbMain="-\xc3\x283"/>'),
    "overlong-utf8": blob(DECL + b'<MYPLUGINSETTINGS dbEnable="\xc0\xb1" dbMain="\xe0\x80\xad3"/>'),
    "unicode-tag": blob(element('dbEnable="1"', tag="\u00dfETTINGS\u4e2d")),
}

for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print("wrote %d seeds to %s" % (len(seeds), out))
