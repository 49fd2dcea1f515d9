#!/usr/bin/env python3
"""Makes our packages' licence records from LICENSE and packaging/third-party.tsv.

  third-party-notices.py windows OUT
      THIRD-PARTY-NOTICES.txt for the Windows packages: each piece the Windows programs link in, with the
      whole copyright record of the Debian package it comes from.
  third-party-notices.py debian OUT PATH...
      A Debian package's machine-readable copyright file for a package holding PATHs (usr/bin/...): our own
      licence for everything, then a stanza for each piece whose code those programs hold.

The licence texts are read from /usr/share/doc/PACKAGE/copyright at build time (MORVEX_DOC_ROOT overrides that
folder for tests), so what we ship is what Debian records for the very version we built with.
"""
import os
import sys
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parent.parent
LIST = SOURCE_DIR / "packaging" / "third-party.tsv"
LICENSE = SOURCE_DIR / "LICENSE"
DEBIAN_FORMAT = "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"
OUR_LICENSE_NAME = "Morvex-proprietary"


def fail(message):
    sys.exit(f"third-party-notices: {message}")


def read_list():
    pieces = []
    for number, line in enumerate(LIST.read_text(encoding="utf-8").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split("\t")
        if len(fields) != 5:
            fail(f"{LIST}:{number}: want 5 tab-separated columns, found {len(fields)}")
        name, package, windows, paths, also = fields
        if windows not in ("windows", "-"):
            fail(f"{LIST}:{number}: the third column is 'windows' or '-', not '{windows}'")
        pieces.append({"name": name, "package": package, "windows": windows == "windows",
                       "paths": [] if paths == "-" else paths.split(),
                       "also": [] if also == "-" else also.split()})
    return pieces


def copyright_record(package):
    path = Path(os.environ.get("MORVEX_DOC_ROOT", "/usr/share/doc")) / package / "copyright"
    try:
        return path.read_text(encoding="utf-8", errors="replace")
    except OSError as error:
        # A notice left out is a licence broken: no package without it.
        fail(f"cannot read {path} ({error.strerror}); install {package} (scripts/bootstrap.sh does)")


def paragraphs(record):
    """The record's paragraphs as lists of (field, value lines), value lines without their leading space."""
    result = []
    for block in record.replace("\r\n", "\n").split("\n\n"):
        fields = []
        for line in block.split("\n"):
            if line.startswith((" ", "\t")) and fields:
                fields[-1][1].append(line[1:])
            elif ":" in line and not line.startswith("#"):
                field, value = line.split(":", 1)
                fields.append((field.strip(), [value.strip()]))
        if fields:
            result.append(fields)
    return result


def field(paragraph, name):
    for key, lines in paragraph:
        if key.lower() == name.lower():
            return lines
    return None


def as_field(name, lines):
    # A blank line inside a value is written as " ." in a Debian control-style file.
    rest = [" " + (line if line.strip() else ".") for line in lines[1:]]
    return "\n".join([f"{name}: {lines[0]}".rstrip()] + rest)


def license_names(expression):
    words = expression.replace("(", " ").replace(")", " ").replace(",", " ").split()
    return [word for word in words if word.lower() not in ("and", "or", "with")]


def windows_notices(out):
    pieces = [piece for piece in read_list() if piece["windows"]]
    parts = [LICENSE.read_text(encoding="utf-8").rstrip("\n"),
             "Third-party notices\n===================\n\n"
             "The Windows programs hold code of the following pieces, each under its own licence. Each record\n"
             "below is the copyright file of the Debian package the piece was built from:\n\n"
             + "\n".join(f"- {piece['name']} (Debian package {piece['package']})" for piece in pieces)]
    for piece in pieces:
        title = f"{piece['name']} (Debian package {piece['package']})"
        parts.append(f"{title}\n{'=' * len(title)}\n\n{copyright_record(piece['package']).rstrip()}")
    Path(out).write_text("\n\n\n".join(parts) + "\n", encoding="utf-8")


def debian_copyright(out, package_paths):
    own = LICENSE.read_text(encoding="utf-8").rstrip("\n").split("\n")
    stanzas = [as_field("Format", [DEBIAN_FORMAT]) + "\n" + as_field("Upstream-Name", ["Morvex"]),
               "\n".join([as_field("Files", ["*"]), as_field("Copyright", ["2026 Morvex"]),
                          as_field("License", [OUR_LICENSE_NAME] + own)])]
    licences = {}
    for piece in read_list():
        paths = [path for path in piece["paths"] if path in package_paths]
        if not paths:
            continue
        record = paragraphs(copyright_record(piece["package"]))
        # The upstream stanza for all of the piece's files is what our programs hold of it.
        upstream = next((p for p in record if (field(p, "Files") or [""])[0] == "*"), None)
        if upstream is None or field(upstream, "Copyright") is None or field(upstream, "License") is None:
            fail(f"{piece['package']}'s copyright file has no 'Files: *' stanza with Copyright and License")
        holders = [line.strip() for line in field(upstream, "Copyright")]
        names = license_names(field(upstream, "License")[0])
        for files in piece["also"]:
            extra = next((p for p in record if files in (field(p, "Files") or [""])[0].split()), None)
            if extra is None or field(extra, "Copyright") is None or field(extra, "License") is None:
                fail(f"{piece['package']}'s copyright file has no stanza for {files} with Copyright and License")
            holders += [line.strip() for line in field(extra, "Copyright") if line.strip() not in holders]
            names += [name for name in license_names(field(extra, "License")[0]) if name not in names]
        # Licence names are compared without regard to case: the same name with another text (two BSD texts
        # naming different holders) gets the package's name behind it.
        texts = {}
        for name in names:
            text = next((field(p, "License")[1:] for p in record
                         if field(p, "Files") is None and (field(p, "License") or [""])[0] == name
                         and len(field(p, "License")) > 1), None)
            if text is None:
                fail(f"{piece['package']}'s copyright file has no text for the licence {name}")
            known = licences.get(name.lower())
            if known is not None and known[1] != text:
                name = f"{name}-{piece['package']}"
            licences.setdefault(name.lower(), (name, text))
            texts[name] = text
        comment = [f"{piece['name']}, compiled into these programs; its whole record is the copyright file of "
                   f"Debian's package {piece['package']}."]
        stanzas.append("\n".join([as_field("Files", [" ".join(paths)]), as_field("Copyright", holders),
                                  as_field("License", [" and ".join(texts)]), as_field("Comment", comment)]))
    stanzas += [as_field("License", [name] + text) for name, text in licences.values()]
    Path(out).write_text("\n\n".join(stanzas) + "\n", encoding="utf-8")


def main(arguments):
    if len(arguments) == 2 and arguments[0] == "windows":
        windows_notices(arguments[1])
    elif len(arguments) >= 3 and arguments[0] == "debian":
        debian_copyright(arguments[1], set(arguments[2:]))
    else:
        fail("usage: third-party-notices.py windows OUT | debian OUT PATH...")


if __name__ == "__main__":
    main(sys.argv[1:])
