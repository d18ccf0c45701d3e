"""The package against the filter: the same text, seed and options give the
same bytes, as one text, as records (--per-line) and as the window's presses."""

import subprocess
import sys

import pytest
import textquirl

TEXTS = [
    "Hallo, Welt! Das ist ein Beispieltext.",
    "Zwei Zeilen:\nÄußerst größenwahnsinnige Übeltäter\r\nund (Klammern) [eckig] E-Mail-Adressen.\n\n",
    "Grüße 👋🏽 aus 🇩🇪: naïve Cafe\u0301s, Kaffeehäuser und ﬁligrane Ligaturen",
    "",
    "   führende   Leerzeichen\tund\tTabulatoren   ",
    "Textquirl Textquirl verwurschtelt Wörter, Wortsalat!",
    "ein einsamer\rWagenrücklauf bleibt\r\nstehen\r und wartet",
]

# Options as keyword arguments and as the filter's flags.
OPTIONS = [
    ({}, []),
    ({"seed": 7}, ["--seed", "7"]),
    ({"seed": 4294967295, "min_length": 6}, ["--seed", "4294967295", "--min-length", "6"]),
    ({"rate": 0.5, "seed": 1}, ["--rate", "0.5", "--seed", "1"]),
    ({"always_change": True}, ["--always-change"]),
    ({"keep": ["Textquirl", "Wörter"], "min_length": 5}, ["--keep", "Textquirl,Wörter", "--min-length", "5"]),
    ({"mode": "careful"}, ["--mode", "careful"]),
    ({"mode": "careful", "seed": 3, "rate": 0.7, "always_change": True}, ["--mode", "careful", "--seed", "3", "--rate", "0,7", "--always-change"]),
]


@pytest.mark.parametrize("options, flags", OPTIONS)
def test_scramble_is_the_filter(cli, options, flags):
    for text in TEXTS:
        assert textquirl.scramble(text, **options) == cli(*flags, text=text), text


@pytest.mark.parametrize("options, flags", OPTIONS)
def test_records_are_the_filters_lines(cli, options, flags):
    lines = [line for text in TEXTS for line in text.replace("\r\n", "\n").split("\n")] * 3
    expected = cli("--per-line", *flags, text="\n".join(lines) + "\n").split("\n")[:-1]
    assert textquirl.scramble_many(lines, **options) == expected
    first = 1000
    expected = cli("--per-line", "--first-line", first, *flags, text="\n".join(lines) + "\n").split("\n")[:-1]
    assert textquirl.scramble_many(lines, keys=range(first, first + len(lines)), **options) == expected


@pytest.mark.parametrize("options, flags", OPTIONS[:2] + OPTIONS[4:5] + OPTIONS[6:7])
def test_scrambler_is_the_windows_presses(cli, tmp_path, options, flags):
    # A text cut after a line break scrambles as its parts do one after the
    # other from one generator, so the filter given the texts of several
    # presses (each ending in a line break) as one input gives the presses'
    # results one after the other.
    presses = ["Hallo, Welt! Das ist ein Beispieltext.\n", TEXTS[1], TEXTS[2] + "\n", "Hallo, Welt! Das ist ein Beispieltext.\n"]
    files = []
    for n, text in enumerate(presses):
        files.append(tmp_path / f"press{n}.txt")
        files[-1].write_text(text, encoding="utf-8")
    scrambler = textquirl.Scrambler(**options)
    assert "".join(scrambler.scramble(text) for text in presses) == cli(*flags, *files)


def test_a_failed_press_draws_nothing():
    # Out of memory inside the last, huge word, after the words before it have
    # drawn: the next call must give what a fresh scrambler's first call gives.
    program = """
import resource, textquirl
def address_space():
    with open("/proc/self/status") as status:
        return next(int(l.split()[1]) * 1024 for l in status if l.startswith("VmSize"))
scrambler = textquirl.Scrambler()
text = "Wortsalat " * 5000 + "x" * 20_000_000
resource.setrlimit(resource.RLIMIT_AS, (address_space() + (150 << 20), resource.RLIM_INFINITY))
try:
    scrambler.scramble(text)
    print("no failure")
except MemoryError:
    print("MemoryError")
resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
print(scrambler.scramble("Hallo, Welt! Das ist ein Beispieltext."))
"""
    done = subprocess.run([sys.executable, "-c", program], capture_output=True, text=True, check=True)
    assert done.stdout.split("\n")[:2] == ["MemoryError", textquirl.scramble("Hallo, Welt! Das ist ein Beispieltext.")]
