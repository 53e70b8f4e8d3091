#!/usr/bin/env python3
"""check-catalogs.py POT EN_PO ZH_PO: fails when a text of POT has no translation in its catalog."""
import re
import sys


def entries(path):
    """msgid -> msgstr of a catalog written by the gettext tools (no plurals, no contexts)."""
    found = {}
    text = open(path, encoding="utf-8").read()
    for block in text.split("\n\n"):
        m = re.search(r'^msgid ((?:".*"\n?)+)msgstr ((?:".*"\n?)+)', block + "\n", re.M)
        if not m or block.lstrip().startswith("#~"):
            continue
        msgid = "".join(re.findall(r'"(.*)"', m.group(1)))
        msgstr = "".join(re.findall(r'"(.*)"', m.group(2)))
        fuzzy = re.search(r"^#, .*fuzzy", block, re.M) is not None
        if msgid:
            found[msgid] = None if fuzzy else msgstr
    return found


def chinese(text):
    return any(ord(c) >= 0x2E80 for c in text)


pot, en, zh = (entries(p) for p in sys.argv[1:4])
faults = []
for msgid in pot:
    catalog, name = (en, "en.po") if chinese(msgid) else (zh, "zh_CN.po")
    other, other_name = (zh, "zh_CN.po") if chinese(msgid) else (en, "en.po")
    if other.get(msgid):
        faults.append(f"{other_name}: \"{msgid}\" is in its own language there and must stay untranslated")
    msgstr = catalog.get(msgid)
    if not msgstr:
        faults.append(f"{name}: no translation for \"{msgid}\"")
    elif msgstr.count("{}") != msgid.count("{}"):
        faults.append(f"{name}: \"{msgid}\" and its translation differ in their {{}} places")
    elif chinese(msgstr) == chinese(msgid):
        faults.append(f"{name}: the translation of \"{msgid}\" is in the same language")
for fault in faults:
    print(fault)
if faults:
    print(f"{len(faults)} text(s) need work: run scripts/update-catalogs.sh and translate them")
    sys.exit(1)
print(f"{len(pot)} texts, each translated")
