#!/usr/bin/env python3
"""Holds the built i686 files to what the handheld's libraries export.

imports: each deliverable may import only what the handheld exports, in the form it exports
it: a function the handheld lacks, a desktop library with no handheld counterpart, and a
by-name import of a function the handheld exports by number only are each a failure. Only
the deliverable's own imports count, not those of the C/C++ runtime that the toolchain links
in (a handheld toolchain supplies its own): an import is the deliverable's own when one of
its own objects refers to it in the linker's cross-reference table (the link map).

exports: each stand-in library exports what the handheld's library of that name exports in
the same form (by name with its number where the number is published, or by number only),
and nothing else but its own test hooks.

Only reads files, so it runs on every host. Exit status 0 when nothing unexpected is found.
"""
import argparse
import struct
import sys

# Desktop libraries and the handheld library that serves the same functions.
HANDHELD_LIBRARY = {
    "kernel32.dll": "coredll.dll",
    "user32.dll": "coredll.dll",
    "gdi32.dll": "coredll.dll",
    "advapi32.dll": "coredll.dll",
    "comctl32.dll": "commctrl.dll",
    "ole32.dll": "ole32.dll",
    "oleaut32.dll": "oleaut32.dll",
    "aygshell.dll": "aygshell.dll",
    "commctrl.dll": "commctrl.dll",
    "cemapi.dll": "cemapi.dll",
    "cellcore.dll": "cellcore.dll",
    "pimstore.dll": "pimstore.dll",
}

# The C library's DLL: what is imported from it is the C runtime's, which the handheld
# toolchain supplies.
C_RUNTIME = {"msvcrt.dll"}

# The one object that may spell a handheld function the desktop's way (platform/handheld.h):
# there GetProcAddress stands for GetProcAddressW, and LockResource for nothing at all (the
# handheld's LoadResource already gives the data).
SEAM_OBJECT = "handheld_win32.cpp.obj"
DESKTOP_SPELLING = {("kernel32.dll", "GetProcAddress"): "GetProcAddressW",
                    ("kernel32.dll", "LockResource"): None}


def own_references(map_path, build_dir):
    """{function name: set of the deliverable's own objects that refer to it}, from the
    link map's cross-reference table. An object is the deliverable's own when its path is
    relative or lies in the build folder; the toolchain's libraries lie elsewhere."""
    result = {}
    symbol = None
    in_table = False
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not in_table:
                in_table = line.startswith("Cross Reference Table")
                continue
            if not line or line.startswith("Symbol "):
                continue
            if not line[0].isspace():
                # A symbol and the file that defines it; the files referring to it follow.
                symbol = line.split()[0]
                continue
            path = line.strip()
            if symbol is None or (path.startswith("/") and not path.startswith(build_dir)):
                continue
            # Import symbols: "_imp__Name@N" (through the import address) or "Name@N".
            name = symbol[len("_imp__"):] if symbol.startswith("_imp__") else symbol
            name = name.split("@", 1)[0]
            obj = path[path.rfind("(") + 1:-1] if path.endswith(")") else path
            result.setdefault(name, set()).add(obj.replace("\\", "/").rsplit("/", 1)[-1])
    if not in_table:
        raise ValueError(f"{map_path}: no cross-reference table (link with --cref)")
    return result


class PeFile:
    """The import and export tables of a 32-bit PE file."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        self.path = path
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path}: not a PE file")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: not a PE file")
        sections, optional_size = struct.unpack_from("<2xH12xH", self.data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", self.data, optional)[0] != 0x10B:
            raise ValueError(f"{path}: not a 32-bit PE file")
        count = struct.unpack_from("<I", self.data, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", self.data, optional + 96 + 8 * i)
                            for i in range(min(count, 16))]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            size, rva, raw_size, raw = struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"{self.path}: address {rva:#x} outside every section")

    def string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imports(self):
        """{library (lower case): set of names and of ordinals (ints)}"""
        rva, size = self.directories[1]
        result = {}
        at = self.offset(rva) if size else None
        while at is not None:
            lookup, _, _, name, first = struct.unpack_from("<IIIII", self.data, at)
            if name == 0:
                break
            entries = result.setdefault(self.string(name).lower(), set())
            thunk = self.offset(lookup or first)
            while True:
                value = struct.unpack_from("<I", self.data, thunk)[0]
                if value == 0:
                    break
                if value & 0x80000000:
                    entries.add(value & 0xFFFF)
                else:
                    entries.add(self.string(value + 2))
                thunk += 4
            at += 20
        if self.directories[13][1]:
            raise ValueError(f"{self.path}: delay-load imports are not read")
        return result

    def exports(self):
        """{ordinal: name or None}"""
        rva, size = self.directories[0]
        if not size:
            return {}
        at = self.offset(rva)
        base, functions, names, address_table, name_table, ordinal_table = struct.unpack_from(
            "<16xIIIIII", self.data, at)
        result = {}
        for i in range(functions):
            if struct.unpack_from("<I", self.data, self.offset(address_table) + 4 * i)[0]:
                result[base + i] = None
        for i in range(names):
            name = struct.unpack_from("<I", self.data, self.offset(name_table) + 4 * i)[0]
            index = struct.unpack_from("<H", self.data, self.offset(ordinal_table) + 2 * i)[0]
            result[base + index] = self.string(name)
        return result


class HandheldExports:
    """The list in device/handheld_exports.txt: per library, names with their number when
    it is known, and numbers exported without a name."""

    def __init__(self, path):
        self.by_name = {}    # library -> {name: ordinal or None}
        self.noname = {}     # library -> {ordinal: name}
        library = None
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                line = line.split("#", 1)[0].strip()
                if not line:
                    continue
                if line.startswith("[") and line.endswith("]"):
                    library = line[1:-1].lower()
                    self.by_name.setdefault(library, {})
                    self.noname.setdefault(library, {})
                    continue
                words = line.split()
                if library is None or len(words) > 3 or (
                        len(words) > 1 and not words[1].startswith("@")):
                    raise ValueError(f"{path}:{number}: not an export line")
                ordinal = int(words[1][1:]) if len(words) > 1 else None
                if len(words) == 3:
                    if words[2] != "NONAME" or ordinal is None:
                        raise ValueError(f"{path}:{number}: not an export line")
                    self.noname[library][ordinal] = words[0]
                else:
                    self.by_name[library][words[0]] = ordinal

    def knows(self, library):
        return library in self.by_name


def import_findings(deliverable, map_path, build_dir, handheld):
    found = []
    own = own_references(map_path, build_dir)
    for library, entries in sorted(PeFile(deliverable).imports().items()):
        if library in C_RUNTIME:
            continue
        # Numbers are imported only through the stand-ins' import libraries: always own.
        entries = [e for e in entries if isinstance(e, int) or e in own]
        if not entries:
            continue
        target = HANDHELD_LIBRARY.get(library)
        if target is None or not handheld.knows(target):
            found.append(f"{library} (no such library on the handheld): "
                         + ", ".join(sorted(map(str, entries))))
            continue
        for entry in sorted(entries, key=str):
            if isinstance(entry, int):
                if entry not in handheld.noname[target] and \
                        entry not in handheld.by_name[target].values():
                    found.append(f"{target} has no export numbered {entry}")
                continue
            name = entry
            if (library, entry) in DESKTOP_SPELLING and own[entry] == {SEAM_OBJECT}:
                name = DESKTOP_SPELLING[(library, entry)]
                if name is None:
                    continue
            if name in handheld.by_name[target]:
                continue
            where = ", ".join(sorted(own[entry]))
            if name in handheld.noname[target].values():
                found.append(f"{target} exports {name} by number only; imported by name ({where})")
            else:
                found.append(f"{target} has no {name} ({where})")
    return found


def export_findings(stand_in, library, hooks, handheld):
    """The stand-in need not export everything the handheld's library does, but what it
    exports must be there on the handheld in the same form."""
    if not handheld.knows(library):
        return [f"{library}: not in the handheld's export list"]
    found = []
    for ordinal, name in sorted(PeFile(stand_in).exports().items()):
        if name is None:
            if ordinal not in handheld.noname[library]:
                found.append(f"{library} exports number {ordinal} without a name")
        elif name in handheld.noname[library].values():
            found.append(f"{library} exports {name} by name; the handheld by number only")
        elif name in handheld.by_name[library]:
            number = handheld.by_name[library][name]
            if number is not None and number != ordinal:
                found.append(f"{library} exports {name} as number {ordinal}, "
                             f"the handheld as {number}")
        elif name not in hooks:
            found.append(f"{library} exports {name}, which the handheld does not")
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exports", required=True, help="the handheld's export list")
    parser.add_argument("--build-dir", default="", help="the build folder (own objects)")
    parser.add_argument("--deliverable", nargs=2, action="append", default=[],
                        metavar=("FILE", "MAP"), help="a deliverable and its link map")
    parser.add_argument("--stand-in", nargs=2, action="append", default=[],
                        metavar=("FILE", "HOOKS"), help="a stand-in and its test hooks (a,b)")
    parser.add_argument("--expect", action="append", default=[],
                        help="a finding that is known and accepted for now")
    parser.add_argument("--ordinal-import", nargs=3, action="append", default=[],
                        metavar=("FILE", "LIBRARY", "ORDINAL"),
                        help="FILE must import ORDINAL of LIBRARY by number")
    args = parser.parse_args()
    handheld = HandheldExports(args.exports)
    found = []
    for deliverable, map_path in args.deliverable:
        found += [f"{deliverable}: {f}"
                  for f in import_findings(deliverable, map_path, args.build_dir, handheld)]
    for stand_in, hooks in args.stand_in:
        library = stand_in.replace("\\", "/").rsplit("/", 1)[-1].lower()
        found += [f"{stand_in}: {f}"
                  for f in export_findings(stand_in, library, set(hooks.split(",")), handheld)]
    for path, library, ordinal in args.ordinal_import:
        if int(ordinal) not in PeFile(path).imports().get(library.lower(), set()):
            found.append(f"{path}: does not import {library} number {ordinal}")
    expected = set(args.expect)
    unexpected = [f for f in found if not any(e in f for e in expected)]
    for finding in found:
        print(("known:      " if finding not in unexpected else "FOUND:      ") + finding)
    for e in sorted(expected):
        if not any(e in f for f in found):
            print(f"no longer found (drop it from the expected list): {e}")
            unexpected.append(e)
    return 1 if unexpected else 0


if __name__ == "__main__":
    sys.exit(main())
