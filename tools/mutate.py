#!/usr/bin/python3
"""Which tests catch which faults: a mutation kill matrix, for trimming tests on evidence.

  tools/mutate.py --build BUILD --targets T1,T2 --tests EXE1,EXE2 [--max N] [--seed S]
                  [--lines A-B] [--timeout S] [--out results.jsonl] SOURCE.cpp [SOURCE2.cpp ...]
  tools/mutate.py --summary results.jsonl [more.jsonl ...] [--prefix TstX]

For every mutant of the given sources (one flipped comparison, && / ||, true / false,
+1 / -1, dropped `!`, or a deleted statement line), rebuilds the targets with ninja,
runs each QtTest executable (offscreen, with a timeout) and appends one JSON line:
  {"file", "line", "op", "orig", "mut", "status": "killed|survived|nobuild",
   "kills": ["Tst::func(row)" ..., "CRASH:exe", "TIMEOUT:exe"]}
Executables are paths below BUILD (tests/tst_batch). The source is restored after
every mutant, also when the run is stopped. A crash is charged to the executable,
not to the function it stopped in. --summary prints each test function's
kills and the kills no other function makes (a function with none, over campaigns
that reach what it checks, adds no fault-finding), and the surviving mutants.
"""
import argparse, collections, json, os, random, re, signal, subprocess, sys

# a kill must still restore the source file (finally blocks run on SystemExit)
signal.signal(signal.SIGTERM, lambda *a: sys.exit('stopped'))
signal.signal(signal.SIGHUP, lambda *a: sys.exit('stopped'))

OPS = [(' == ', ' != '), (' != ', ' == '), (' < ', ' <= '), (' <= ', ' < '), (' > ', ' >= '),
       (' >= ', ' > '), (' && ', ' || '), (' || ', ' && '), ('true', 'false'), ('false', 'true'),
       (' + 1', ' - 1'), (' - 1', ' + 1'), ('(!', '('), ('++', '--')]
STMT = re.compile(r'^\s+(?!(?:const|auto|int|double|bool|float|char|unsigned|long|qint|quint|std::|Q[A-Z]\w*\s|'
                  r'return\s*;|case|default|break|continue|else|if|for|while|do|switch|\}|\{|//|#))'
                  r'[A-Za-z_*][^;]*;\s*$')


def mutants(path, lines_range):
    src = open(path).read().split('\n')
    out = []
    in_block = False
    for i, line in enumerate(src):
        s = line.strip()
        if '/*' in s:
            in_block = True
        if in_block:
            if '*/' in s:
                in_block = False
            continue
        if lines_range and not (lines_range[0] <= i + 1 <= lines_range[1]):
            continue
        if not s or s.startswith('//') or s.startswith('#') or 'Q_ASSERT' in s or 'static_assert' in s:
            continue
        code = line.split('//')[0]
        for a, b in OPS:
            start = 0
            while True:
                k = code.find(a, start)
                if k < 0:
                    break
                if a in ('true', 'false') and (k > 0 and (code[k - 1].isalnum() or code[k - 1] == '_')):
                    start = k + 1
                    continue
                out.append((i, a.strip() + '->' + b.strip(), line[:k] + b + line[k + len(a):]))
                start = k + len(a)
        if STMT.match(line) and not s.startswith('return'):
            out.append((i, 'delete', ''))
    return src, out


def run_tests(build, tests, timeout):
    kills = []
    env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
    for t in tests:
        exe = os.path.abspath(os.path.join(build, t))
        try:
            p = subprocess.run([exe, '-o', '-,txt'], cwd=os.path.dirname(exe), env=env, capture_output=True,
                               text=True, errors='replace', timeout=timeout)
            fails = sorted({m.group(1) for m in re.finditer(r'^FAIL!\s+:\s+(\S+\(.*?\))', p.stdout, re.M)})
            kills += fails
            if p.returncode != 0 and not fails:
                kills.append('CRASH:' + t)
        except subprocess.TimeoutExpired:
            kills.append('TIMEOUT:' + t)
    return kills


def summary(argv):
    args = [x for x in argv if not x.startswith('--')]
    prefix = ''
    if '--prefix' in argv:
        prefix = argv[argv.index('--prefix') + 1]
        args.remove(prefix)
    recs = [json.loads(l) for f in args for l in open(f)]
    killed = [r for r in recs if r['status'] == 'killed']
    surv = [r for r in recs if r['status'] == 'survived']
    print('mutants: %d built, %d killed, %d survived, %d did not build'
          % (len(killed) + len(surv), len(killed), len(surv), sum(r['status'] == 'nobuild' for r in recs)))

    def fn(k):  # function granularity: drop the row
        return k.split('(')[0]

    by = collections.defaultdict(set)
    for n, r in enumerate(killed):
        for k in r['kills']:
            by[fn(k)].add(n)
    print('\nper test function: kills / unique kills')
    for t in sorted(by):
        if prefix and prefix not in t:
            continue
        uniq = [n for n in by[t] if {fn(k) for k in killed[n]['kills']} == {t}]
        print('  %-60s %4d %4d' % (t, len(by[t]), len(uniq)))
        for n in uniq[:6]:
            r = killed[n]
            print('        unique: %s:%d %s   %s' % (r['file'].split('/')[-1], r['line'], r['op'], r['orig'][:70]))
    print('\nsurvivors:')
    for r in surv:
        print('  %s:%d %s   %s' % (r['file'].split('/')[-1], r['line'], r['op'], r['orig'][:90]))


def main():
    if '--summary' in sys.argv:
        return summary([a for a in sys.argv[1:] if a != '--summary'])
    ap = argparse.ArgumentParser()
    ap.add_argument('--build', required=True)
    ap.add_argument('--targets', required=True)
    ap.add_argument('--tests', required=True)
    ap.add_argument('--max', type=int, default=0)
    ap.add_argument('--seed', type=int, default=1)
    ap.add_argument('--lines', default='')
    ap.add_argument('--timeout', type=int, default=120)
    ap.add_argument('--out', default='mutants.jsonl')
    ap.add_argument('sources', nargs='+')
    a = ap.parse_args()
    tests = a.tests.split(',')
    targets = a.targets.split(',')
    lr = tuple(int(x) for x in a.lines.split('-')) if a.lines else None
    if subprocess.run(['ninja', '-C', a.build] + targets, capture_output=True).returncode != 0:
        sys.exit('the unmutated build fails')
    base = run_tests(a.build, tests, a.timeout)
    if base:
        sys.exit('tests fail before mutation: %s' % base)
    todo = []
    for path in a.sources:
        src, ms = mutants(path, lr)
        todo += [(path, src, m) for m in ms]
    random.Random(a.seed).shuffle(todo)
    if a.max:
        todo = todo[:a.max]
    print('%d mutants' % len(todo), flush=True)
    with open(a.out, 'a') as out:
        for n, (path, src, (i, op, new)) in enumerate(todo):
            mutated = list(src)
            if op == 'delete':
                mutated[i] = ''
            else:
                mutated[i] = new
            orig_text = '\n'.join(src)
            try:
                open(path, 'w').write('\n'.join(mutated))
                b = subprocess.run(['ninja', '-C', a.build] + targets, capture_output=True)
                if b.returncode != 0:
                    rec = dict(status='nobuild', kills=[])
                else:
                    k = run_tests(a.build, tests, a.timeout)
                    rec = dict(status='killed' if k else 'survived', kills=k)
            finally:
                open(path, 'w').write(orig_text)
            rec.update(file=path, line=i + 1, op=op, orig=src[i].strip(), mut=mutated[i].strip())
            out.write(json.dumps(rec) + '\n')
            out.flush()
            print('%d/%d %s:%d %s %s %s' % (n + 1, len(todo), os.path.basename(path), i + 1, op, rec['status'],
                                             ' '.join(rec['kills'])[:200]), flush=True)
    # leave the build matching the restored sources
    subprocess.run(['ninja', '-C', a.build] + targets, capture_output=True)


if __name__ == '__main__':
    main()
