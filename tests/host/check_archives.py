#!/usr/bin/env python3
"""check_archives.py MANIFEST PAYLOAD_DIR

Reads the generated catalogue with readers independent of ours (Python's zipfile and zlib) and
checks it against the manifest:
  - the manifest: 318 files with the required kinds, names, total, largest and smallest sizes;
  - the product files in PAYLOAD_DIR/files: exactly the manifest's files, at its sizes;
  - every PAYLOAD_DIR/archives/NAME.zip: a complete single-entry ZIP archive laid out field by
    field as the catalogue requires, that zipfile reads back to the product file;
  - payload_tables.cpp and payload_blob.bin: the three tables in case-insensitive name order,
    each archive found at its offset in the blob.
Prints every fault found and exits 1 if there was any."""
import io
import os
import re
import struct
import sys
import zipfile
import zlib

ENTRY_COUNT = 318
INSTALLED_TOTAL = 32_735_563
LARGEST = 1_548_288
SMALLEST = 425
KIND_COUNTS = {'.dll': 260, '.exe': 38, '.ini': 3, '.hlp': 3, '.pif': 2, '.ocx': 2, '.lnk': 2}
OTHER_COUNT = 8
OTHER_KINDS_REQUIRED = {'.ico', '.sys', '.vxd', '.rtf'}
# Names that the setup program installs, registers, links or lists, in the letter case it uses.
REQUIRED_NAMES = [
    '50comupd.exe', 'TWExplo.exe', 'TWick.exe', 'TWWizard.exe', 'DiskGau.exe', 'TWSync.exe',
    'Patchwell.exe', 'TrackLister.exe', 'TWFind.exe', 'UnInstal.exe', 'TWDlgHlp.exe', 'TWShExt.dll',
    'lattice.ocx', 'modeng1.dll', 'modeng2.dll', 'modeng3.dll', 'modeng4.dll', 'readme.rtf',
    'tarnwick.hlp',
]
# Help index files that the installation run deletes as stale: never part of the product.
FORBIDDEN_NAMES = ['tarnwick.cnt', 'tarnwick.gid']
PE_KINDS = {'.exe', '.dll', '.ocx', '.sys', '.vxd'}

DOS_TIME, DOS_DATE = 5 << 11, (1999 - 1980) << 9 | 6 << 5 | 15
VERSION = 20

faults = []


def fault(message):
    faults.append(message)


def extension(name):
    return os.path.splitext(name)[1].lower()


def read_manifest(path):
    entries = []
    with open(path, encoding='ascii') as f:
        for line in f:
            line = line.split('#', 1)[0].split()
            if line:
                name, size, recipe, origin = line
                entries.append((name, int(size), recipe, origin))
    return entries


def check_manifest(entries):
    names = [e[0] for e in entries]
    sizes = [e[1] for e in entries]
    if len(entries) != ENTRY_COUNT:
        fault('manifest: %d entries, expected %d' % (len(entries), ENTRY_COUNT))
    if len({n.lower() for n in names}) != len(names):
        fault('manifest: names repeat without regard to case')
    for kind, count in KIND_COUNTS.items():
        have = sum(extension(n) == kind for n in names)
        if have != count:
            fault('manifest: %d %s files, expected %d' % (have, kind, count))
    others = [extension(n) for n in names if extension(n) not in KIND_COUNTS]
    if len(others) != OTHER_COUNT or len(set(others)) != OTHER_COUNT:
        fault('manifest: other files %s, expected %d single files of distinct kinds' % (others, OTHER_COUNT))
    if not OTHER_KINDS_REQUIRED <= set(others):
        fault('manifest: the other files lack one of %s' % sorted(OTHER_KINDS_REQUIRED))
    if sum(sizes) != INSTALLED_TOTAL:
        fault('manifest: installed total %d, expected %d' % (sum(sizes), INSTALLED_TOTAL))
    if max(sizes) != LARGEST or min(sizes) != SMALLEST:
        fault('manifest: largest %d and smallest %d, expected %d and %d' % (max(sizes), min(sizes), LARGEST, SMALLEST))
    for name in REQUIRED_NAMES:
        if name not in names:
            fault('manifest: %s missing (letter case counts)' % name)
    for name in FORBIDDEN_NAMES:
        if name.lower() in {n.lower() for n in names}:
            fault('manifest: %s must not be part of the product' % name)


def check_files(entries, folder):
    listed = {e[0] for e in entries}
    present = set(os.listdir(folder))
    for name in sorted(present - listed):
        fault('files: %s is not in the manifest' % name)
    contents = {}
    for name, size, _, _ in entries:
        path = os.path.join(folder, name)
        if name not in present:
            fault('files: %s missing' % name)
            continue
        with open(path, 'rb') as f:
            data = f.read()
        if len(data) != size:
            fault('files: %s has %d bytes, manifest %d' % (name, len(data), size))
        if extension(name) in PE_KINDS and data[:2] != b'MZ':
            fault('files: %s does not start with an MZ header' % name)
        contents[name] = data
    return contents


def check_archive_layout(name, archive, content):
    """Field by field: local header, data, central directory header, end record, nothing else."""
    n = len(name)
    if len(archive) < 30 + n + 46 + n + 22:
        fault('%s: archive of %d bytes is too short' % (name, len(archive)))
        return
    (sig, needed, flags, method, time, date, crc, csize, usize, nlen, elen) = struct.unpack_from('<IHHHHHIIIHH', archive, 0)
    expected_crc = zlib.crc32(content) & 0xFFFFFFFF
    local = dict(signature=sig == 0x04034B50, version_needed=needed == VERSION, flags=flags == 0,
                 method=method == 8, time=time == DOS_TIME, date=date == DOS_DATE, crc=crc == expected_crc,
                 uncompressed=usize == len(content), name_length=nlen == n, extra=elen == 0,
                 name=archive[30:30 + n] == name.encode('ascii'))
    for field, ok in local.items():
        if not ok:
            fault('%s: local header field %s is wrong' % (name, field))
    data = archive[30 + n:30 + n + csize]
    if zlib.decompressobj(-15).decompress(data) != content:
        fault('%s: the raw DEFLATE data do not inflate to the file' % name)
    cd = 30 + n + csize
    (sig, made, needed, flags, method, ctime, cdate, ccrc, ccsize, cusize, cnlen, celen, cclen, disk, internal,
     external, offset) = struct.unpack_from('<IHHHHHHIIIHHHHHII', archive, cd)
    central = dict(signature=sig == 0x02014B50, version_made_by=made == VERSION, version_needed=needed == VERSION,
                   flags=flags == 0, method=method == 8, time=ctime == time, date=cdate == date, crc=ccrc == crc,
                   compressed=ccsize == csize, uncompressed=cusize == usize, name_length=cnlen == n,
                   extra=celen == 0, comment=cclen == 0, disk=disk == 0, internal=internal == 0,
                   external=external == 0x20, offset=offset == 0,
                   name=archive[cd + 46:cd + 46 + n] == name.encode('ascii'))
    for field, ok in central.items():
        if not ok:
            fault('%s: central directory field %s is wrong' % (name, field))
    end = cd + 46 + n
    (sig, this_disk, cd_disk, on_disk, total, cd_size, cd_offset, comment) = struct.unpack_from('<IHHHHIIH', archive, end)
    record = dict(signature=sig == 0x06054B50, disk=this_disk == 0, directory_disk=cd_disk == 0, entries_here=on_disk == 1,
                  entries=total == 1, directory_size=cd_size == 46 + n, directory_offset=cd_offset == cd,
                  comment=comment == 0, archive_ends=len(archive) == end + 22)
    for field, ok in record.items():
        if not ok:
            fault('%s: end record field %s is wrong' % (name, field))


def check_archive_with_zipfile(name, archive, content):
    try:
        with zipfile.ZipFile(io.BytesIO(archive)) as z:
            bad = z.testzip()
            if bad is not None:
                fault('%s: zipfile finds %s damaged' % (name, bad))
            infos = z.infolist()
            if len(infos) != 1:
                fault('%s: %d entries, expected 1' % (name, len(infos)))
                return
            i = infos[0]
            checks = dict(filename=i.filename == name, crc=i.CRC == zlib.crc32(content) & 0xFFFFFFFF,
                          file_size=i.file_size == len(content), method=i.compress_type == zipfile.ZIP_DEFLATED,
                          extra=i.extra == b'', comment=i.comment == b'', external_attributes=i.external_attr == 0x20,
                          msdos_host=i.create_system == 0, version_made_by=i.create_version == VERSION,
                          version_needed=i.extract_version == VERSION, flags=i.flag_bits == 0,
                          date_time=i.date_time == (1999, 6, 15, 5, 0, 0), header_offset=i.header_offset == 0)
            for field, ok in checks.items():
                if not ok:
                    fault('%s: zipfile reports a wrong %s' % (name, field))
            if z.read(i) != content:
                fault('%s: zipfile reads other bytes than the product file' % name)
    except (zipfile.BadZipFile, OSError, ValueError) as e:
        fault('%s: zipfile cannot read the archive: %s' % (name, e))


def read_tables(path):
    with open(path, encoding='ascii') as f:
        text = f.read()

    def table(symbol):
        body = re.search(r'%s\[PayloadEntryCount\] = \{\n(.*?)\n\};' % symbol, text, re.S)
        return body.group(1).split('\n') if body else []
    archives = [re.fullmatch(r'\s*payloadBlob \+ (\d+),\s*// (\S+)', line) for line in table('payloadArchives')]
    sizes = [re.fullmatch(r'\s*(\d+)u,', line) for line in table('payloadSizes')]
    names = [re.fullmatch(r'\s*payloadNameText \+ \d+,\s*// (\S+)', line) for line in table('payloadNames')]
    if None in archives or None in sizes or None in names:
        fault('payload_tables.cpp: a table line has an unexpected form')
        return [], [], []
    return ([(int(m.group(1)), m.group(2)) for m in archives], [int(m.group(1)) for m in sizes],
            [m.group(1) for m in names])


def main():
    manifest_path, payload = sys.argv[1], sys.argv[2]
    entries = read_manifest(manifest_path)
    check_manifest(entries)
    contents = check_files(entries, os.path.join(payload, 'files'))
    size_of = {e[0]: e[1] for e in entries}

    offsets, sizes, names = read_tables(os.path.join(payload, 'payload_tables.cpp'))
    if not (len(offsets) == len(sizes) == len(names) == ENTRY_COUNT):
        fault('tables: %d, %d and %d elements, expected %d each' % (len(offsets), len(sizes), len(names), ENTRY_COUNT))
    if names != sorted(size_of, key=str.lower):
        fault('tables: payloadNames is not the manifest in case-insensitive name order')
    if any(a.lower() >= b.lower() for a, b in zip(names, names[1:])):
        fault('tables: payloadNames is not strictly ascending without regard to case')
    if [o[1] for o in offsets] != names:
        fault('tables: payloadArchives is not in the order of payloadNames')
    if sizes != [size_of.get(n) for n in names]:
        fault('tables: payloadSizes differ from the manifest')

    with open(os.path.join(payload, 'payload_blob.bin'), 'rb') as f:
        blob = f.read()
    position = 0
    for (offset, _), name in zip(offsets, names):
        with open(os.path.join(payload, 'archives', name + '.zip'), 'rb') as f:
            archive = f.read()
        content = contents.get(name, b'')
        check_archive_layout(name, archive, content)
        check_archive_with_zipfile(name, archive, content)
        if offset != position or blob[offset:offset + len(archive)] != archive:
            fault('%s: not found at its table offset %d in the blob' % (name, offset))
        position += len(archive)
    if position != len(blob):
        fault('blob: %d bytes, the archives make %d' % (len(blob), position))
    extra_archives = set(os.listdir(os.path.join(payload, 'archives'))) - {n + '.zip' for n in names}
    if extra_archives:
        fault('archives: not in the catalogue: %s' % sorted(extra_archives))

    for message in faults:
        print('FAULT:', message)
    print('%d archives checked, %d faults' % (len(names), len(faults)))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
