#!/usr/bin/env python3
"""Runs catalogue-stats (which decodes every catalogue entry with the setup program's decoder)
and checks the catalogue's figures: the counts and sizes of the default product, a compressed
total of about 14.2 MB, all three DEFLATE block types, block counts into the dozens and
back-references beyond 32,000 bytes, so that the decoder's whole window is exercised."""
import subprocess
import sys

EXPECTED = {'entries': 318, 'installed_total': 32735563, 'smallest': 425, 'largest': 1548288}
RANGES = {
    'compressed_total': (12_100_000, 16_300_000),  # 14.2 MB within 15 %
    'entries_with_dynamic': (290, 318),            # most entries
    'entries_with_fixed': (1, 60),                 # some, the small ones among them
    'entries_with_stored': (2, 10),
    'max_blocks': (20, 99),                        # dozens
    'max_distance': (32001, 32768),
}


def main():
    run = subprocess.run([sys.argv[1]], capture_output=True, text=True, timeout=600)
    sys.stderr.write(run.stderr)
    print(run.stdout, end='')
    figures = {}
    for line in run.stdout.splitlines():
        name, _, value = line.partition(': ')
        figures[name] = int(value)
    faults = []
    if run.returncode != 0:
        faults.append('catalogue-stats exited with %d' % run.returncode)
    for name, value in EXPECTED.items():
        if figures.get(name) != value:
            faults.append('%s is %s, expected %d' % (name, figures.get(name), value))
    for name, (low, high) in RANGES.items():
        if not low <= figures.get(name, -1) <= high:
            faults.append('%s is %s, expected %d to %d' % (name, figures.get(name), low, high))
    for fault in faults:
        print('FAULT:', fault)
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
