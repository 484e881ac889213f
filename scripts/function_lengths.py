#!/usr/bin/env python3
"""Lists the longest function bodies in C++ files (lines from the opening to the closing brace), longest first.

Usage: scripts/function_lengths.py [--top N] [--over LINES] DIR_OR_FILE...
A brace counter, not a parser: comments, strings and character literals are blanked first; a brace opens a
function when the text before it holds a parameter list and no function is open yet (lambdas count with their
function). Good enough to hold `cli/` to its limit of about 80 lines a function.
"""
import os
import re
import sys

CONTROL = re.compile(r'^\s*(if|for|while|switch|catch|do|else|return|case)\b')


def blank(text):
    text = re.sub(r'//[^\n]*', '', text)
    text = re.sub(r'/\*.*?\*/', lambda m: re.sub(r'[^\n]', ' ', m.group()), text, flags=re.S)
    text = re.sub(r'R"([^(]*)\(.*?\)\1"', lambda m: re.sub(r'[^\n]', ' ', m.group()), text, flags=re.S)
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    return re.sub(r"'(\\.|[^'\\\n])*'", "''", text)


def functions(path):
    text = blank(open(path, encoding='utf-8', errors='replace').read())
    stack, head, line, found = [], '', 1, []
    for ch in text:
        if ch == '\n':
            line += 1
        if ch == '{':
            opens = all(kind != 'function' for kind, _, _ in stack)
            h = head.strip()
            is_function = opens and '(' in h and not CONTROL.match(h) and not h.endswith('=') and \
                not re.match(r'^(namespace|struct|class|enum|union|extern)\b', h)
            name = re.sub(r'\s+', ' ', h.split('(')[0]).split(' ')[-1] if is_function else ''
            stack.append(('function' if is_function else 'block', line, name))
            head = ''
        elif ch == '}':
            if stack:
                kind, start, name = stack.pop()
                if kind == 'function':
                    found.append((line - start + 1, name, path, start))
            head = ''
        elif ch == ';':
            head = ''
        else:
            head += ch
    return found


def main(argv):
    top, over, paths = 15, 0, []
    it = iter(argv)
    for a in it:
        if a == '--top':
            top = int(next(it))
        elif a == '--over':
            over = int(next(it))
        else:
            paths.append(a)
    files = []
    for p in paths:
        if os.path.isdir(p):
            for root, _, names in os.walk(p):
                files += [os.path.join(root, n) for n in names if n.endswith(('.cpp', '.h'))]
        else:
            files.append(p)
    rows = sorted((f for path in sorted(files) for f in functions(path)), reverse=True)
    rows = [r for r in rows if r[0] > over] if over else rows[:top]
    for length, name, path, start in rows:
        print(f'{length:5}  {name}  {path}:{start}')


if __name__ == '__main__':
    main(sys.argv[1:])
