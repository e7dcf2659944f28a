#!/usr/bin/env python3
"""Tests of check_layers.py on small trees of its own: a clean tree passes,
an upward include (a dialog on the document, the engine on Qt) or the
dialogs library linking the document fails."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'check_layers.py')


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, 'w', encoding='utf-8') as f:
                f.write(text)
        p = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return p.returncode, p.stdout


CLEAN = {
    'engine/FieldCalc.h': '#include "model/CSurfColl.h"\n',
    'dialogs/COptionDialog.h': '#include <QDialog>\n#include "engine/CalcParameters.h"\n',
    'dialogs/CPointsDialog.cpp': '#include "engine/AtomicFile.h"\n',
    'dialogs/CMakeLists.txt': 'target_link_libraries(kalvor_dialogs PUBLIC kalvor_core Qt6::Widgets)\n',
    'views/CKalvorView.cpp': '#include "document/CKalvorDoc.h"\n#include "dialogs/COptionDialog.h"\n',
}


class CheckLayersTest(unittest.TestCase):
    def test_a_clean_tree_passes(self):
        code, out = run(CLEAN)
        self.assertEqual(code, 0, out)

    def test_a_dialog_that_includes_the_document_fails(self):
        code, out = run(dict(CLEAN, **{'dialogs/CCalcParam.cpp': '#include "document/CKalvorDoc.h"\n'}))
        self.assertEqual(code, 1)
        self.assertIn('dialogs/CCalcParam.cpp: includes document/CKalvorDoc.h', out)

    def test_a_dialog_on_the_atomic_save_of_the_document_fails(self):
        code, out = run(dict(CLEAN, **{'dialogs/CPointsDialog.cpp': '#include "document/SafeSave.h"\n'}))
        self.assertEqual(code, 1)
        self.assertIn('includes document/SafeSave.h', out)

    def test_the_dialogs_linking_the_document_fail(self):
        code, out = run(dict(CLEAN, **{'dialogs/CMakeLists.txt':
                                       'target_link_libraries(kalvor_dialogs PUBLIC kalvor_document Qt6::Widgets)\n'}))
        self.assertEqual(code, 1)
        self.assertIn('kalvor_dialogs links kalvor_document', out)

    def test_the_engine_on_qt_or_a_view_fails(self):
        code, out = run(dict(CLEAN, **{'engine/Bad.cpp': '#include <QString>\n#include "views/CKalvorView.h"\n'}))
        self.assertEqual(code, 1)
        self.assertIn('includes Qt header QString', out)
        self.assertIn('includes views/CKalvorView.h', out)


if __name__ == '__main__':
    unittest.main()
