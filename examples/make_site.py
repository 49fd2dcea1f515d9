#!/usr/bin/env python3
"""Writes the bundled example site: a project list, page lists and page files with collisions and near-misses.

The tables are dBase III files with Windows-1252 text, as the package writes them. The date bytes are fixed so
that running the script again gives byte-identical files and a clean working tree.
"""
import json
import os
import shutil
import struct
import sys

FIXED_DATE = (126, 1, 15)


def write_dbf(path, fields, records):
    """fields: [(name, length)], all character fields; records: [(deleted, [values])]."""
    header_length = 32 + 32 * len(fields) + 1
    record_length = 1 + sum(length for _, length in fields)
    out = bytearray()
    out += struct.pack('<B3BiHH20x', 0x03, *FIXED_DATE, len(records), header_length, record_length)
    for name, length in fields:
        out += struct.pack('<11sc4xBB14x', name.encode('ascii'), b'C', length, 0)
    out += b'\x0d'
    for deleted, values in records:
        out += b'*' if deleted else b' '
        for (name, length), value in zip(fields, values):
            encoded = value.encode('cp1252')
            if len(encoded) > length:
                raise ValueError(f'{name}: {value!r} is longer than {length} bytes')
            out += encoded.ljust(length, b' ')
    out += b'\x1a'
    with open(path, 'wb') as handle:
        handle.write(out)


def tarvo(an, library_project, library, name, properties, number=0):
    return {
        'type': 'Tarvo',
        'an': an,
        'tarvo': {'project': library_project, 'library': library, 'name': name, 'number': number},
        'properties': [{'name': n, 'value': v} for n, v in properties],
    }


def plain(kind, an, **extra):
    obj = {'type': kind, 'an': an}
    obj.update(extra)
    return obj


# name, folder, deleted, pages: {page name: objects, or None for a page listed without a file}
PROJECTS = [
    ('Kläranlage', 'klaeranlage', False, {
        'Übersicht': [
            tarvo(1, 'include', 'pumps', 'pump_h', [('TEXT', 'Zulaufpumpe 1'), ('Tag', 'P1_RUN'), ('COL_A', '12')]),
            plain('Rectangle', 2),
            tarvo(3, 'include', 'valves', 'valve_v', [('Text', 'Schieber'), ('COL_F', '4'), ('FONT', 'Arial,10')]),
            plain('Text', 4, properties=[{'name': 'TEXT', 'value': 'not a Tarvo'}]),
            {'type': 'tarvo', 'an': 5, 'tarvo': {'project': 'include', 'library': 'pumps', 'name': 'pump_h'},
             'properties': [{'name': 'TEXT', 'value': 'type in lower case'}]},
        ],
        'Zulauf': [
            tarvo(10, 'include', 'pumps', 'pump_h', [('TEXT', 'Zulaufpumpe 2')]),
            tarvo(-5, 'include', 'meters', 'flow', [('TXT_OFFSET', '3'), (' TEXT', 'leading blank'),
                                                     ('!COL_STATIC', '1')]),
        ],
        'Belebung': [
            tarvo(20, 'include', 'valves', 'valve_v', [('VISIBLE', '1'), ('DESC', 'Belüftung "Nord"'),
                                                       ('TEXT', "Gebläse 'B'")]),
            tarvo(21, 'include', 'valves', 'valve_v', []),
            plain('Line', 22),
        ],
        'Reserve': None,
    }),
    ('Wärmepumpe', 'waermepumpe', False, {
        'Heizkreis': [
            tarvo(1, 'include', 'pumps', 'Pump_H', [('TEXT', 'Heizkreispumpe')]),
            tarvo(2, 'include', 'meters', 'temp', [('COL_ARR_', 'T1'), ('TXT_ON', 'Ein'), ('COL_STATIC', '0')]),
        ],
        'Störungen': [
            tarvo(7, 'include', 'alarms', 'lamp', [('COL_', ''), ('ACTIVEXEXT_1NAME', 'x')]),
        ],
    }),
    ('Include', 'include', False, {
        'Symbole': [
            tarvo(1, 'include', 'symbols', 'frame_a', [('TEXT', 'Vorlage')]),
        ],
    }),
    ('Altbestand', 'altbestand', True, {
        'Alt': [
            tarvo(1, 'include', 'pumps', 'pump_h', [('FONT', 'Courier')]),
        ],
    }),
    ('Leitstand', 'leitstand', False, None),
]


def main():
    site = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'site')
    if len(sys.argv) > 1:
        site = sys.argv[1]
    if os.path.isdir(site):
        shutil.rmtree(site)
    os.makedirs(site)

    write_dbf(os.path.join(site, 'master.dbf'), [('Name', 32), ('Path', 64)],
              [(deleted, [name, folder]) for name, folder, deleted, _ in PROJECTS])

    for _, folder, _, pages in PROJECTS:
        project_dir = os.path.join(site, folder)
        os.makedirs(project_dir)
        if pages is None:
            # A project folder the package created but never gave a page list.
            with open(os.path.join(project_dir, 'README.txt'), 'w', encoding='utf-8') as handle:
                handle.write('This project has no pages yet.\n')
            continue
        write_dbf(os.path.join(project_dir, 'pages.dbf'), [('Name', 32), ('Comment', 40)],
                  [(False, [page, 'Seite ' + page]) for page in pages])
        for page, objects in pages.items():
            if objects is None:
                continue
            with open(os.path.join(project_dir, page + '.json'), 'w', encoding='utf-8') as handle:
                json.dump({'objects': objects}, handle, ensure_ascii=False, indent=1)
                handle.write('\n')


if __name__ == '__main__':
    main()
