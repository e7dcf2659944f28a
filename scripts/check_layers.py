#!/usr/bin/env python3
"""Checks that folders include only the layers below them.

model -> engine -> document -> views -> app, and dialogs on the engine (they
work on values, never on the document); cli, bench and the Python module use
the engine only. Prints every upward include and exits 1 if there is one.

  check_layers.py [ROOT]    ROOT: the source tree (default: this script's)"""
import os
import re
import sys

ALLOWED = {
    'model': set(),
    'engine': {'model'},
    'cli': {'engine', 'model'},
    'python': {'engine', 'model'},
    'bench': {'engine', 'model'},
    'fuzz': {'engine', 'model'},
    'document': {'engine', 'model'},
    'dialogs': {'engine', 'model'},
    'views': {'document', 'dialogs', 'engine', 'model'},
    'app': {'views', 'document', 'dialogs', 'engine', 'model'},
}
# The libraries each layer's CMake target may link among ours: the dialogs
# work on values, so they never link the document.
LINKS = {'dialogs': ('kalvor_dialogs', {'kalvor_core'})}
OURS = re.compile(r'\bkalvor_\w+')
QT_FREE = {'model', 'engine', 'cli', 'python'}
WIDGETS = re.compile(r'#\s*include\s*<(QtWidgets|QWidget|QDialog|QMessageBox|QFileDialog|QMainWindow|'
                     r'QApplication|QAbstract\w*View|QPainter|QPrinter|QAction|QMenu)\b')
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^">]+)[">]', re.M)

root = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
problems = []
for folder, allowed in ALLOWED.items():
    base = os.path.join(root, folder)
    for dirpath, _, names in os.walk(base):
        for name in names:
            if not name.endswith(('.h', '.hpp', '.cpp', '.cc')):
                continue
            path = os.path.join(dirpath, name)
            text = open(path, encoding='utf-8', errors='replace').read()
            rel = os.path.relpath(path, root)
            for header in INCLUDE.findall(text):
                top = header.split('/')[0]
                if '/' in header and top in ALLOWED and top != folder and top not in allowed:
                    problems.append(f'{rel}: includes {header} ({folder} may use {sorted(allowed) or "nothing"})')
                if folder in QT_FREE and re.match(r'Q[A-Za-z]', header):
                    problems.append(f'{rel}: includes Qt header {header}')
            if folder == 'document' and WIDGETS.search(text):
                problems.append(f'{rel}: the document includes a widget class')
for folder, (target, allowed) in LINKS.items():
    cmake = os.path.join(root, folder, 'CMakeLists.txt')
    if not os.path.exists(cmake):
        continue
    text = open(cmake, encoding='utf-8').read()
    for m in re.finditer(r'target_link_libraries\(\s*' + target + r'\b([^)]*)\)', text):
        for lib in OURS.findall(m.group(1)):
            if lib not in allowed:
                problems.append(f'{folder}/CMakeLists.txt: {target} links {lib} (it may link {sorted(allowed)})')
for p in problems:
    print(p)
print(f'{len(problems)} upward or forbidden includes')
sys.exit(1 if problems else 0)
