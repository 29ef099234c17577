#!/usr/bin/env python3
"""Packs a folder into a PHP binary pack: a ZIP archive whose entries keep
their Unix permissions (the launcher's run bit) in the external attributes.

usage: make_php_pack.py OUTPUT.zip FOLDER
"""
import os
import stat
import sys
import zipfile

# A fixed time, so that the same files always give the same archive.
STAMP = (2020, 1, 1, 0, 0, 0)


def entry(name, mode):
    info = zipfile.ZipInfo(name, STAMP)
    info.create_system = 3  # Unix: the mode bits below are read
    info.external_attr = mode << 16
    return info


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip())
    output, folder = sys.argv[1], sys.argv[2]
    unfinished = output + ".tmp"
    with zipfile.ZipFile(unfinished, "w", zipfile.ZIP_DEFLATED) as archive:
        for root, folders, files in os.walk(folder):
            folders.sort()
            relative = os.path.relpath(root, folder).replace(os.sep, "/")
            prefix = "" if relative == "." else relative + "/"
            if prefix:
                archive.writestr(entry(prefix, stat.S_IFDIR | 0o755), b"")
            for name in sorted(files):
                path = os.path.join(root, name)
                # Only the run bit is taken from the checkout: umasks differ.
                executable = os.stat(path).st_mode & 0o111
                info = entry(prefix + name, stat.S_IFREG | (0o755 if executable else 0o644))
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as source:
                    archive.writestr(info, source.read())
    os.replace(unfinished, output)


if __name__ == "__main__":
    main()
