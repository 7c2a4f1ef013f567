#!/usr/bin/env python3
"""check_shipped_programs.py imports TABLE FILE...
   check_shipped_programs.py instructions OBJDUMP SHIPPED=SYMBOLS...

A FILE that is a folder stands for every file in it; so does a pair of folders SHIPPED=SYMBOLS,
each file of SHIPPED with the file of the same name in SYMBOLS.

Checks that the programs we ship can start on Windows 95 and NT 4.0 on a 486.

imports: reads the import table of each 32-bit PE FILE with a reader of its own and checks every
  imported function against TABLE (first_exports.tsv: the first Windows 95-family and NT release
  that exports it). A Windows loader refuses to start a program, or to load a DLL, with an import
  it cannot resolve, so every import must come from a DLL of those systems and be exported by
  both Windows 95's first release and NT 4.0. Imports by ordinal are refused too (the numbers
  differ between releases of a DLL), and so are delay-loaded ones (resolved at their first call,
  where a missing one stops the program half-way). The header must keep asking for operating
  system and subsystem version 4.0, which the loaders of both systems accept.
instructions: checks that the code sections of each SHIPPED file equal those of SYMBOLS, its
  unstripped twin from the same link, disassembles SYMBOLS with OBJDUMP function by function and
  refuses any instruction a 486 lacks, since a 486 or a Pentium stops at it: P6, MMX, SSE and
  later instructions, and CPUID unless the function did the EFLAGS ID test before it (itself, or
  by calling a function that does it, as GCC's __get_cpuid_max). The CRC folding functions below
  may use such instructions: they run only when CPUID says so.
Prints one line per fault and exits 1 if there was any."""
import os
import re
import struct
import subprocess
import sys

SYSTEM_DLLS = {'KERNEL32.DLL', 'USER32.DLL', 'GDI32.DLL', 'ADVAPI32.DLL', 'SHELL32.DLL',
               'OLE32.DLL', 'COMCTL32.DLL', 'VERSION.DLL', 'CRTDLL.DLL'}
# The releases the table may name, oldest first, and how many of them we may rely on.
WIN95_FAMILY = ['4.00', '4.00.950B', '4.10', '4.90']   # 95, 95 OSR2, 98, Me
NT_FAMILY = ['3.10', '3.50', '3.51', '4.00', '5.00', '5.01', '6.00']
WIN95_USABLE, NT_USABLE = WIN95_FAMILY[:1], NT_FAMILY[:4]

# Functions that may use newer instructions, with the reason why.
FEATURE_CHECKED = [
    ('(anonymous namespace)::FoldCrc32(', 'CRC folding, called only when CPUID reports PCLMULQDQ'),
    ('(anonymous namespace)::FoldCrc32Wide(', 'called only when HasWideFolding() said yes'),
    ('(anonymous namespace)::FinishFold(', 'part of the folding, reached only from FoldCrc32*'),
    ('(anonymous namespace)::Load128(', 'part of the folding, reached only from FoldCrc32*'),
    ('(anonymous namespace)::Fold(', 'part of the folding, reached only from FoldCrc32*'),
    ('(anonymous namespace)::Load256(', 'part of the wide folding, reached only from FoldCrc32Wide'),
    ('(anonymous namespace)::Fold256(', 'part of the wide folding, reached only from FoldCrc32Wide'),
    ('(anonymous namespace)::HasWideFolding(', 'reads XCR0 with xgetbv only after CPUID reports OSXSAVE'),
]
# Data that the linker places in .text (constructor lists, exception tables): its bytes decode as
# nonsense, so it is not read as instructions.
DATA_IN_CODE = re.compile(r'\.gcc_except_table|\.ctors|\.dtors|_*[CD]TOR_LIST__$')
# Mnemonics (an AT&T size suffix may follow) that the 486 lacks, with the processor that brought them.
LATER_MNEMONICS = [
    (r'rdtsc|rdmsr|wrmsr|cmpxchg8b', 'the Pentium'),
    # nopw/nopl: the long NOP 0F 1F; endbr32: a hint NOP, also in the 0F 1E..1F space of the P6
    (r'f?cmov\w+|fu?comip?|rdpmc|nop[wl]|endbr32', 'the Pentium Pro'),
    (r'emms|femms', 'MMX'),
    (r'sysenter|sysexit|fxsave\w*|fxrstor\w*', 'the Pentium II'),
    (r'ldmxcsr|stmxcsr|sfence|prefetch\w*|movntq|maskmovq', 'SSE'),
    (r'lfence|mfence|clflush\w*|movnti', 'SSE2'),
    (r'fisttp\w*|monitor|mwait', 'SSE3'),
    (r'syscall|sysret\w*|cmpxchg16b|rdtscp', 'x86-64 processors'),
    (r'popcnt|crc32', 'SSE4.2'),
    (r'movbe', 'the Atom'),
    (r'lzcnt|tzcnt|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|rorx|sarx|shlx|shrx|mulx|adcx|adox',
     'ABM and BMI'),
    (r'xgetbv|xsetbv|xsave\w*|xrstor\w*|vzeroupper|vzeroall', 'XSAVE and AVX'),
    (r'rdrand|rdseed', 'Ivy Bridge and later'),
]
LATER = [(re.compile(r'(?:%s)[bwlq]?$' % pattern), who) for pattern, who in LATER_MNEMONICS]
# Operands in MMX, SSE, AVX or AVX-512 registers.
NEW_REGISTER = re.compile(r'%(mm[0-7]|[xyz]mm\d+|k[0-7])\b')
PREFIXES = {'lock', 'rep', 'repz', 'repe', 'repnz', 'repne', 'data16', 'data32', 'addr16',
            'addr32', 'cs', 'ds', 'es', 'fs', 'gs', 'ss', 'notrack', 'bnd', 'xacquire', 'xrelease'}
LABEL = re.compile(r'^([0-9a-f]+) <(.*)>:$')
CALLEE = re.compile(r' <(.*)>$')
INSTRUCTION = re.compile(r'^\s*([0-9a-f]+):\s+(\S.*)$')

faults = []


def fault(message):
    faults.append(message)
    print(message)


class Pe:
    """The parts of a 32-bit PE image that the checks need."""

    def __init__(self, path):
        self.name = path.rsplit('/', 1)[-1]
        with open(path, 'rb') as f:
            self.data = data = f.read()
        if data[:2] != b'MZ' or data[struct.unpack_from('<I', data, 0x3c)[0]:][:4] != b'PE\0\0':
            raise ValueError('not a PE image')
        coff = struct.unpack_from('<I', data, 0x3c)[0] + 4
        count, symbols, nsymbols, optional_size = struct.unpack_from('<2xH4xIIH', data, coff)
        optional = coff + 20
        if struct.unpack_from('<H', data, optional)[0] != 0x10b:
            raise ValueError('not a 32-bit PE image')
        self.image_base = struct.unpack_from('<I', data, optional + 28)[0]
        self.os_version = struct.unpack_from('<HH', data, optional + 40)
        self.subsystem_version = struct.unpack_from('<HH', data, optional + 48)
        ndirs = min(16, struct.unpack_from('<I', data, optional + 92)[0])
        self.directories = [struct.unpack_from('<II', data, optional + 96 + 8 * i)
                            for i in range(ndirs)]
        strings = symbols + 18 * nsymbols   # COFF string table, for long section names
        self.sections = []
        for header in range(optional + optional_size, optional + optional_size + 40 * count, 40):
            raw_name, vsize, va, rsize, offset = struct.unpack_from('<8sIIII', data, header)
            flags = struct.unpack_from('<I', data, header + 36)[0]
            name = raw_name.rstrip(b'\0').decode('latin-1')
            if name.startswith('/') and symbols:
                at = strings + int(name[1:])
                name = data[at:data.index(b'\0', at)].decode('latin-1')
            self.sections.append((name, va, vsize, offset, rsize, flags))

    def offset(self, rva):
        for _, va, vsize, offset, rsize, _ in self.sections:
            if va <= rva < va + max(vsize, rsize):
                return rva - va + offset
        raise ValueError('address 0x%x lies in no section' % rva)

    def u32(self, rva):
        return struct.unpack_from('<I', self.data, self.offset(rva))[0]

    def string(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b'\0', at)].decode('latin-1')

    def names(self, thunks):
        """The functions of one import name table: a name, or the ordinal as an int."""
        while self.u32(thunks):
            thunk = self.u32(thunks)
            yield thunk & 0xffff if thunk & 0x80000000 else self.string(thunk + 2)
            thunks += 4

    def descriptors(self, directory, size, layout):
        """The entries of an import directory, up to the empty one that ends it."""
        rva, end = self.directories[directory] if len(self.directories) > directory else (0, 0)
        for rva in range(rva, rva + end if rva else 0, size):
            entry = struct.unpack_from(layout, self.data, self.offset(rva))
            if not any(entry):
                break
            yield entry

    def imports(self):
        """(dll, function or ordinal, delay-loaded) for every import."""
        for lookup, _, _, name, first_thunk in self.descriptors(1, 20, '<5I'):
            for function in self.names(lookup or first_thunk):
                yield self.string(name), function, False
        for attributes, name, _, _, names, _, _, _ in self.descriptors(13, 32, '<8I'):
            base = 0 if attributes & 1 else self.image_base   # old descriptors hold addresses
            for function in self.names(names - base):
                yield self.string(name - base), function, True

    def code_sections(self):
        """{name: (address, bytes)} of the sections that hold code."""
        return {name: (va, self.data[offset:offset + min(vsize, rsize)])
                for name, va, vsize, offset, rsize, flags in self.sections if flags & 0x20000020}


def read_table(path):
    table = {}
    with open(path, encoding='utf-8') as f:
        rows = [line.rstrip('\n').split('\t') for line in f
                if line.strip() and not line.startswith('#')]
    if rows[:1] != [['dll', 'function', 'windows_95_family', 'nt_family', 'source']]:
        fault('%s: the first row is not the column names' % path)
    for row in rows[1:]:
        if len(row) != 5 or row[2] not in WIN95_FAMILY + ['none'] or row[3] not in NT_FAMILY + ['none']:
            fault('%s: malformed row %r' % (path, '\t'.join(row)))
        elif (row[0], row[1]) in table:
            fault('%s: %s!%s appears twice' % (path, row[0], row[1]))
        else:
            table[row[0], row[1]] = row[2], row[3]
    return table


def check_imports(table_path, paths):
    table = read_table(table_path)
    for path in paths:
        try:
            pe = Pe(path)
            imports = list(pe.imports())
        except (OSError, ValueError, struct.error) as e:
            fault('%s: %s' % (path, e))
            continue
        before = len(faults)
        if pe.os_version != (4, 0) or pe.subsystem_version != (4, 0):
            fault('%s: asks for operating system %d.%d and subsystem %d.%d, not 4.0 and 4.0'
                  % ((pe.name,) + pe.os_version + pe.subsystem_version))
        dlls, count = set(), 0
        for dll, function, delayed in imports:
            dll, count = dll.upper(), count + 1
            dlls.add(dll)
            where = '%s: %s!%s:' % (pe.name, dll, function)
            if delayed:
                fault('%s delay-loaded' % where)
            if isinstance(function, int):
                fault('%s: %s: imports by ordinal %d' % (pe.name, dll, function))
            elif dll not in SYSTEM_DLLS:
                fault('%s %s is not a system DLL of Windows 95 and NT 4.0' % (where, dll))
            elif (dll, function) not in table:
                fault('%s not in the table of first exports' % where)
            else:
                win95, nt = table[dll, function]
                if win95 not in WIN95_USABLE:
                    fault('%s Windows 95 family: %s, not the first release 4.00' % (where, win95))
                if nt not in NT_USABLE:
                    fault('%s NT family: %s, later than 4.00' % (where, nt))
        if len(faults) == before:
            print('%s: %d functions from %d DLLs (%s), all exported by Windows 95 and NT 4.0'
                  % (pe.name, count, len(dlls), ' '.join(sorted(dlls))))


def refusal(text):
    """Why a 486 cannot run this instruction (AT&T syntax, no address), or None."""
    words = text.split()
    while words and words[0] in PREFIXES:
        words.pop(0)
    if not words:
        return None
    mnemonic, operands = words[0], ' '.join(words[1:])
    for pattern, who in LATER:
        if pattern.match(mnemonic):
            return 'an instruction of %s' % who
    if mnemonic == 'nop' and operands:
        return 'an instruction of the Pentium Pro'
    if NEW_REGISTER.search(operands):
        return 'a register of MMX or SSE or later'
    return None


def functions_of(listing):
    """[(name, [(address, instruction text)])] of an objdump listing, data in code left out."""
    functions = []
    for line in listing.splitlines():
        label, instruction = LABEL.match(line), INSTRUCTION.match(line)
        if label:
            functions.append((label.group(2), []))
        elif instruction and functions:
            functions[-1][1].append(instruction.groups())
    return [(name, body) for name, body in functions if not DATA_IN_CODE.match(name)]


def tests_id_flag(text, tested, testers):
    """Adds to tested what this instruction does towards the EFLAGS ID test (popf, xor $0x200000,
    or a call of one of testers, which do both); the test is complete with 'popf' and 'xor'."""
    words = text.split()
    if words[0] in ('popf', 'popfl'):
        tested.add('popf')
    elif words[0] in ('xor', 'xorl') and words[1].startswith('$0x200000,'):
        tested.add('xor')
    elif words[0] in ('call', 'calll') and CALLEE.search(text):
        if CALLEE.search(text).group(1) in testers:   # its start, not an offset into it
            tested.update(('popf', 'xor'))


def check_instructions(objdump, pairs):
    for pair in pairs:
        shipped_path, _, symbols_path = pair.partition('=')
        try:
            shipped, symbols = Pe(shipped_path), Pe(symbols_path)
        except (OSError, ValueError, struct.error) as e:
            fault('%s: %s' % (pair, e))
            continue
        before, twin = len(faults), symbols.code_sections()
        if not shipped.code_sections():
            fault('%s: no code section' % shipped.name)
        for name, section in shipped.code_sections().items():
            if twin.get(name) != section:
                fault('%s: code section %s differs in %s, which is then not its twin'
                      % (shipped.name, name, symbols.name))
        run = subprocess.run([objdump, '-d', '-C', '--no-show-raw-insn', '-M', 'att', symbols_path],
                             capture_output=True, text=True)
        if run.returncode:
            fault('%s: %s failed: %s' % (shipped.name, objdump, run.stderr.strip()))
        functions = functions_of(run.stdout)
        testers = set()   # functions that do the ID test themselves, such as __get_cpuid_max
        for name, body in functions:
            tested = set()
            for _, text in body:
                tests_id_flag(text, tested, set())
            if tested == {'popf', 'xor'}:
                testers.add(name)
        count = 0
        for function, body in functions:
            allowed, tested = any(function.startswith(name) for name, _ in FEATURE_CHECKED), set()
            for address, text in body:
                count += 1
                where = '%s: %s at 0x%s: %s:' % (shipped.name, function, address, text)
                if '(bad)' in text:
                    print('warning: %s not decodable (data in a code section?)' % where)
                    continue
                if text.split()[0] == 'cpuid' and tested != {'popf', 'xor'}:
                    fault('%s cpuid without the EFLAGS ID test (popf, xor $0x200000) before it' % where)
                tests_id_flag(text, tested, testers)
                why = None if allowed else refusal(text)
                if why:
                    fault('%s %s, which a 486 lacks' % (where, why))
        if not count:
            fault('%s: no instructions read from %s' % (shipped.name, symbols.name))
        refused = len(faults) - before
        print('%s: %d instructions read in %d functions, %s' % (
            shipped.name, count, len(functions), '%d refused' % refused if refused else 'none refused'))


def in_folders(arguments):
    """The arguments with each folder (or pair of folders) replaced by its files in name order."""
    files = []
    for argument in arguments:
        shipped, equals, symbols = argument.partition('=')
        if not os.path.isdir(shipped):
            files.append(argument)
            continue
        names = sorted(os.listdir(shipped))
        if not names:
            fault('%s: an empty folder' % shipped)
        files += [os.path.join(shipped, n) + (equals + os.path.join(symbols, n) if equals else '') for n in names]
    return files


def main():
    if len(sys.argv) >= 4 and sys.argv[1] == 'imports':
        check_imports(sys.argv[2], in_folders(sys.argv[3:]))
    elif len(sys.argv) >= 4 and sys.argv[1] == 'instructions' and all('=' in a for a in sys.argv[3:]):
        check_instructions(sys.argv[2], in_folders(sys.argv[3:]))
    else:
        sys.exit(__doc__.split('\n\n')[0])
    if faults:
        print('%d faults' % len(faults))
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
