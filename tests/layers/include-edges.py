#!/usr/bin/env python3
"""Holds the #include lines of src/ to the layers table in docs/architecture.md.

Every file belongs to the layer of the longest folder in the table that holds it; it may include headers
of its own layer and of the layers its row names, nothing else. The logic layers (marked "logic") include
no header of the libraries behind the platform interfaces either: no Qt, ALSA, PulseAudio, X11, curl,
OpenSSL, systemd, espeak, libjpeg, mpg123 or libmicrohttpd.

    include-edges.py SOURCE_DIR             check the tree; exit 1 and name each wrong include
    include-edges.py --self-test SOURCE_DIR  also prove that a planted upward include is caught
"""
import pathlib
import re
import shutil
import sys
import tempfile

LIBRARY_HEADER = re.compile(
    r'#\s*include\s*<(Q[A-Za-z]*[>/]|alsa/|pulse/|X11/|xcb/|curl/|openssl/|systemd/|espeak|jpeglib|'
    r'mpg123|out123|microhttpd|prometheus/|nlohmann/|glib)')
LOCAL_INCLUDE = re.compile(r'#\s*include\s*"([^"]+)"')


def read_table(architecture):
    """The rows of the layers table: folder -> (allowed folders, is logic)."""
    layers = {}
    in_table = False
    for line in architecture.read_text(encoding="utf-8").splitlines():
        if line.startswith("| Layer"):
            in_table = True
            continue
        if in_table and line.startswith("|---"):
            continue
        if in_table and line.startswith("|"):
            cells = [cell.strip() for cell in line.strip("|").split("|")]
            folder = cells[0].strip("`")
            allowed = [name.strip().strip("`") for name in cells[1].split(",") if name.strip() not in ("", "—")]
            layers[folder] = (set(allowed), cells[2].strip().lower() == "logic")
        elif in_table:
            break
    if not layers:
        raise SystemExit(f"no layers table (a header row starting '| Layer') in {architecture}")
    return layers


def layer_of(path, layers):
    """The longest folder of the table that holds `path` (relative to src/), or None."""
    best = None
    for folder in layers:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best


def wrong_includes(source_dir, architecture):
    layers = read_table(architecture)
    src = source_dir / "src"
    problems = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in (".h", ".cpp") or not file.is_file():
            continue
        relative = file.relative_to(src).as_posix()
        layer = layer_of(relative, layers)
        if layer is None:
            problems.append(f"{relative}: in no layer of the table")
            continue
        allowed, logic = layers[layer]
        for number, line in enumerate(file.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            if logic and LIBRARY_HEADER.match(line.strip()):
                problems.append(f"{relative}:{number}: the logic layer {layer} includes a library: {line.strip()}")
            match = LOCAL_INCLUDE.match(line.strip())
            if not match:
                continue
            target = layer_of(match.group(1), layers)
            if target is None:
                problems.append(f"{relative}:{number}: {match.group(1)} is in no layer of the table")
            elif target != layer and target not in allowed:
                problems.append(f"{relative}:{number}: {layer} may not include {target} ({match.group(1)})")
    return problems


def main():
    arguments = sys.argv[1:]
    self_test = arguments[:1] == ["--self-test"]
    source_dir = pathlib.Path(arguments[-1])
    architecture = source_dir / "docs" / "architecture.md"
    problems = wrong_includes(source_dir, architecture)
    for problem in problems:
        print(problem)
    if self_test:
        # A copy with one include that runs up, from the runtime to the main window, and one library
        # header in the logic: both must be named.
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder)
            shutil.copytree(source_dir / "src", copy / "src")
            shutil.copytree(source_dir / "docs", copy / "docs")
            (copy / "src" / "runtime" / "Planted.cpp").write_text('#include "app/MainWindow.h"\n#include <QWidget>\n')
            planted = wrong_includes(copy, copy / "docs" / "architecture.md")
            caught = [p for p in planted if p.startswith("runtime/Planted.cpp")]
            if len(caught) != 2:
                print(f"self-test: the planted includes were not both caught: {caught}")
                return 1
            print("self-test: the planted upward include and library header were caught")
    if problems:
        print(f"{len(problems)} include(s) break the layers table in docs/architecture.md")
        return 1
    print("every include keeps to the layers table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
