#!/usr/bin/python3
"""Writes the committed test tables with an independent dBase writer (python3-dbf), so the reader is checked
against files it did not produce. Run from anywhere: python3 tests/data/make_tables.py"""
import os
import shutil

import dbf

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# (values, deleted). The C++ tests hold the same values; change both together.
PROJECTS_1252 = [
    (("Café Süd", "C:\\Projekte\\Café", "Prix 5 €", 42), False),
    (("Straße", "D:\\Werk\\Straße", "Ärger œ Š ž", 7), True),
    (("Include", "C:\\SCADA\\Include", "", 0), False),
    (("  Indented", "", "trailing   ", -15), False),
    (("Ñandú", "E:\\ñ", "«quoted» ±½", 123456), True),
]

PAGES_866 = [
    (("Главная",), False),
    (("Насос №1",), False),
    (("Удалённая",), True),
    (("Ёлка",), False),
]

SAMPLE = [
    (("Plant", "Plant"), False),
    (("Boiler House", "Boiler"), False),
    (("Old Pumps", "Archive\\Pumps"), True),
]


def write(path, layout, codepage, rows):
    if os.path.exists(path):
        os.remove(path)
    table = dbf.Table(path, layout, codepage=codepage, dbf_type="db3")
    table.open(mode=dbf.READ_WRITE)
    for values, deleted in rows:
        table.append(values)
        if deleted:
            dbf.delete(table[-1])
    table.close()


def main():
    write(os.path.join(HERE, "projects_cp1252.dbf"), "Name C(20); Path C(40); Note C(30); Count N(6,0)", "cp1252",
          PROJECTS_1252)
    write(os.path.join(HERE, "pages_cp866.dbf"), "Name C(24)", "cp866", PAGES_866)
    write(os.path.join(HERE, "empty_cp1252.dbf"), "Name C(10); Path C(10)", "cp1252", [])
    sample = os.path.join(ROOT, "examples", "tables", "sample.dbf")
    os.makedirs(os.path.dirname(sample), exist_ok=True)
    write(sample, "Name C(24); Path C(40)", "cp1252", SAMPLE)
    # Valid tables seed the fuzzer.
    corpus = os.path.join(ROOT, "fuzz", "corpus", "fuzz_dbase")
    os.makedirs(corpus, exist_ok=True)
    for name in ("projects_cp1252.dbf", "pages_cp866.dbf", "empty_cp1252.dbf"):
        shutil.copy(os.path.join(HERE, name), os.path.join(corpus, "seed_" + name))


if __name__ == "__main__":
    main()
