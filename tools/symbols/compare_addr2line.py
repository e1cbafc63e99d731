#!/usr/bin/env python3
"""Compares the names and lines ostrel-symbols gives for addresses of a built
Windows program (from its attached symbols) with binutils' addr2line on the
unstripped copy, for many addresses across the code.

Exit status 0 when the agreement reaches the thresholds; mismatches are listed.
"""
import argparse
import re
import subprocess
import sys


def run(cmd, stdin=None):
    return subprocess.run(cmd, input=stdin, capture_output=True, text=True, check=True).stdout


def dump_lines(tool, program):
    """(address, next address) of every line entry, and the code range."""
    out = run([tool, 'dump', program]).splitlines()
    code = re.match(r'code ([0-9a-f]+)-([0-9a-f]+)', out[0])
    lines, section = [], None
    for text in out[1:]:
        if not text.startswith(' '):
            section = text.split()[0]
            continue
        if section == 'lines':
            lines.append(int(text.split()[0], 16))
    return int(code.group(1), 16), int(code.group(2), 16), lines


def pick(lines, count):
    """Entry addresses and addresses inside the ranges, spread evenly."""
    picked = set()
    step = max(1, len(lines) // count)
    for i in range(0, len(lines) - 1, step):
        start, end = lines[i], lines[i + 1]
        picked.add(start)
        if end - start > 2:
            picked.add(start + (end - start) // 2)
    return sorted(picked)


def addr2line(binary, exe, addresses):
    text = run([binary, '-a', '-f', '-C', '-i', '-e', exe],
               '\n'.join('0x%08x' % a for a in addresses) + '\n')
    result, current = {}, None
    rows = text.splitlines()
    i = 0
    while i < len(rows):
        if rows[i].startswith('0x'):
            current = int(rows[i], 16)
            result[current] = []
            i += 1
            continue
        function, location = rows[i], rows[i + 1] if i + 1 < len(rows) else '??:0'
        result[current].append((function, location))
        i += 2
    return result


def unit_of(path):
    name = re.split(r'[\\/]', path)[-1]
    for ext in ('.cpp', '.h'):
        if name.lower().endswith(ext) and len(name) > len(ext):
            return name[:-len(ext)]
    return name


def plain_function(name):
    """Parameters and return type removed, "::" written as "."."""
    name = re.sub(r'( \[clone [^]]*\])+$', '', name)
    name = re.sub(r'( const| volatile| &&| &| noexcept)+$', '', name)
    if name.endswith(')'):
        depth = 0
        for i in range(len(name) - 1, -1, -1):
            depth += name[i] == ')'
            if name[i] == '(':
                depth -= 1
                if depth == 0:
                    name = name[:i]
                    break
    depth, cut = 0, None
    for i, c in enumerate(name):
        depth += c in '<([{'
        depth -= c in '>)]}'
        if c == ' ' and depth == 0 and not name[:i].endswith('operator'):
            cut = i
    if cut is not None:
        name = name[cut + 1:]
    return name.replace('::', '.')


def demangle_all(names, cxxfilt):
    """addr2line leaves some linkage names mangled (without their "_")."""
    mangled = sorted({n for n in names if re.match(r'_?Z[NZ0-9]', n)})
    if not mangled:
        return {}
    text = run([cxxfilt], '\n'.join('_' + n.lstrip('_') for n in mangled) + '\n')
    return dict(zip(mangled, text.splitlines()))


def function_key(name):
    """Class and function name without template arguments: the two forms
    name the same function but spell templates and lambdas differently."""
    name = plain_function(name)
    out, depth = [], 0
    for c in name.replace('<...>', ''):
        if c in '<(':
            depth += 1
        elif c in '>)' and depth > 0:
            depth -= 1
        elif depth == 0:
            out.append(c)
    parts = [p for p in ''.join(out).split('.') if p]
    return '.'.join(parts[-2:])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--addr2line', default='i686-w64-mingw32-addr2line')
    ap.add_argument('--cxxfilt', default='c++filt')
    ap.add_argument('--program', required=True, help='program with attached symbols')
    ap.add_argument('--debug', required=True, help='the same program with its DWARF')
    ap.add_argument('--count', type=int, default=2000)
    ap.add_argument('--min-lines', type=float, default=0.99)
    ap.add_argument('--min-functions', type=float, default=0.95)
    args = ap.parse_args()

    _, _, lines = dump_lines(args.tool, args.program)
    addresses = pick(lines, args.count)
    theirs = addr2line(args.addr2line, args.debug, addresses)
    ours = {}
    for chunk in range(0, len(addresses), 500):
        part = addresses[chunk:chunk + 500]
        for row in run([args.tool, 'lookup', args.program] + ['%08x' % a for a in part]).splitlines():
            f = row.split('\t')
            ours[int(f[0], 16)] = (f[2], f[3], int(f[4]))

    demangled = demangle_all([f[-1][0] for f in theirs.values() if f], args.cxxfilt)
    compared = same_line = same_unit = same_function = 0
    mismatches = []
    for a in addresses:
        frames = theirs.get(a) or []
        if not frames or frames[0][1].startswith('??'):
            continue
        location = frames[0][1].split(' (discriminator')[0]
        path, _, line_text = location.rpartition(':')
        line = int(line_text) if line_text.isdigit() else 0
        outer = plain_function(demangled.get(frames[-1][0], frames[-1][0])) if demangled else plain_function(frames[-1][0])
        unit, function, our_line = ours[a]
        compared += 1
        ok_line = our_line == line
        ok_unit = unit == unit_of(path)
        # addr2line names a member by its bare name when the definition lies
        # outside the class, and -C drops a leading "_" from C names.
        theirs_name = re.sub(r'@\d+$', '', demangled.get(frames[-1][0], frames[-1][0]))
        mine, other = function_key(function), function_key(theirs_name)
        last = mine.split('.')[-1].lstrip('_')
        ok_function = (frames[-1][0] == '??' or mine == other or
                       ('.' not in other and last == other.lstrip('_')))
        same_line += ok_line
        same_unit += ok_unit
        same_function += ok_function
        if not (ok_line and ok_unit and ok_function):
            mismatches.append('%08x ours %s:%d %s | addr2line %s:%d %s' %
                              (a, unit, our_line, function, unit_of(path), line, outer))
    if compared == 0:
        print('no addresses with line information to compare')
        return 1
    print('addresses compared: %d' % compared)
    print('line agrees: %d (%.2f%%)' % (same_line, 100.0 * same_line / compared))
    print('file agrees: %d (%.2f%%)' % (same_unit, 100.0 * same_unit / compared))
    print('function agrees: %d (%.2f%%)' % (same_function, 100.0 * same_function / compared))
    for m in mismatches[:25]:
        print('  ' + m)
    ok = (same_line >= args.min_lines * compared and same_unit >= args.min_lines * compared and
          same_function >= args.min_functions * compared)
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
