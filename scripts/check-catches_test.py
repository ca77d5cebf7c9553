#!/usr/bin/env python3
"""Plants catch-alls and promise handlers in scripts/check-catches and sees which it lets
through: every way of passing the stop on passes, every way of keeping it is named with its
line, and the program fails where it names one. ctest runs it
(CheckCatches.NamesEveryPlantedFault); scripts/test runs the checker over the project's own
code."""
import importlib.machinery
import importlib.util
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).resolve().parent / "check-catches"


def load_checker():
    loader = importlib.machinery.SourceFileLoader("check_catches", str(CHECKER))
    spec = importlib.util.spec_from_loader(loader.name, loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


checker = load_checker()

# Each planted handler that passes the stop on, with how many handlers the checker looked at.
PASSES = {
    "pass-on first": ("try { f(); } catch (...) { ProcessStop::passOn(); log(); }", 1),
    "qualified pass-on": ("catch (...) {\n  zestrel::platform::ProcessStop::passOn();\n}", 1),
    "rethrow last": ("catch (...) { cleanUp(); throw; }", 1),
    "rethrow after a block": ("catch (...) { if (open) { close(); } throw ; }", 1),
    "rethrow after a loop": ("catch (...) { for (int i = 0; i < n; ++i) undo(i); throw; }", 1),
    "only in a comment": ("// catch (...) {}\n/* catch (const ProcessStop&) {} */", 0),
    "only in a string": ('const char* text = "catch (...) { if (again) throw; }";', 0),
    "promise passes on first": (
        "struct promise_type {\n"
        "  void unhandled_exception() { ProcessStop::passOn(); error = std::current_exception(); }\n"
        "};", 1),
    "promise rethrows": ("void unhandled_exception() noexcept(false) { throw; }", 1),
    "promise defined apart": (
        "auto Promise::unhandled_exception() -> void {\n  ProcessStop::passOn();\n"
        "  std::terminate();\n}", 1),
}

# Each planted fault with the line it is named at.
FAULTS = {
    "swallowed": ("catch (...) {}", 1),
    "conditional rethrow": ("void f() {\n  try { g(); }\n  catch (...) { if (again) throw; }\n}", 3),
    "rethrow in a block of an if": ("catch (...) { if (again) { throw; } }", 1),
    "rethrow in a loop": ("catch (...) { while (again) throw; }", 1),
    "rethrow in an else": ("catch (...) { if (x) { g(); } else throw; }", 1),
    "rethrow in a lambda": ("catch (...) { auto again = [] { throw; }; }", 1),
    "pass-on not first": ("catch (...) { log(); ProcessStop::passOn(); }", 1),
    "stop caught by name": ("\ncatch (const platform::ProcessStop&) { }", 2),
    "promise swallows": ("struct promise_type {\n  void unhandled_exception() {}\n};", 2),
    "promise stores":
        ("void unhandled_exception() noexcept { error_ = std::current_exception(); }", 1),
    "promise ends the program": ("void unhandled_exception() { std::terminate(); }", 1),
    "promise rethrows under a condition":
        ("void unhandled_exception() override { if (fatal) throw; }", 1),
}


def run_checker(files):
    """Runs the checker as a program over a new git work tree holding `files` (name: text):
    its exit status and what it printed."""
    with tempfile.TemporaryDirectory() as tree:
        subprocess.run(["git", "init", "-q", tree], check=True, capture_output=True)
        for name, text in files.items():
            path = pathlib.Path(tree, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        done = subprocess.run([sys.executable, str(CHECKER), tree], capture_output=True,
                              text=True)
        return done.returncode, done.stdout


class CheckCatchesTest(unittest.TestCase):
    def test_every_way_of_passing_the_stop_on_passes(self):
        for case, (code, handlers) in PASSES.items():
            with self.subTest(case):
                faults, catches, promises = checker.check("planted.cpp", code)
                self.assertEqual(faults, [])
                self.assertEqual(catches + promises, handlers)

    def test_every_way_of_keeping_the_stop_is_named_at_its_line(self):
        for case, (code, line) in FAULTS.items():
            with self.subTest(case):
                faults = checker.check("planted.cpp", code)[0]
                self.assertEqual(len(faults), 1, faults)
                self.assertTrue(faults[0].startswith(f"planted.cpp:{line}: "), faults[0])

    def test_the_program_fails_where_it_names_a_fault(self):
        # Every way of passing the stop on, and the one file allowed to end a stop.
        clean = {f"platform/passes{index}.cpp": code
                 for index, (code, _) in enumerate(PASSES.values())}
        clean["platform/base/ProcessTeardown.cpp"] = "catch (const ProcessStop&) { return; }"
        status, printed = run_checker(clean)
        self.assertEqual(status, 0, printed)
        for case, (code, line) in FAULTS.items():
            with self.subTest(case):
                status, printed = run_checker({**clean, "app/planted.h": code})
                self.assertNotEqual(status, 0, printed)
                self.assertIn(f"app/planted.h:{line}: ", printed)


if __name__ == "__main__":
    unittest.main()
