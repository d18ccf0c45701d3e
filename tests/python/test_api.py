"""The package's own promises: errors, records independent of how they are
batched, the version, the README's example and the stubs."""

import ast
import doctest
import inspect
import random
import re
from pathlib import Path

import pytest
import textquirl
from conftest import ROOT

BAD_CALLS = [
    # (keyword arguments, error, words the message must hold)
    ({"seed": None}, TypeError, "seed"),
    ({"seed": "7"}, TypeError, "seed"),
    ({"seed": 1.0}, TypeError, "seed"),
    ({"seed": -1}, ValueError, "seed"),
    ({"seed": 2**32}, ValueError, "seed"),
    ({"mode": "wild"}, ValueError, "mode"),
    ({"mode": 1}, TypeError, "mode"),
    ({"mode": "careful\ud800"}, ValueError, "mode"),
    ({"min_length": 3}, ValueError, "min_length"),
    ({"min_length": -1}, ValueError, "min_length"),
    ({"min_length": 4.0}, TypeError, "min_length"),
    ({"rate": 1.5}, ValueError, "rate"),
    ({"rate": -0.1}, ValueError, "rate"),
    ({"rate": float("nan")}, ValueError, "rate"),
    ({"rate": "0.5"}, TypeError, "rate"),
    ({"always_change": 1}, TypeError, "always_change"),
    ({"keep": "Wort"}, TypeError, "keep"),
    ({"keep": ["Wort", 3]}, TypeError, "keep[1]"),
    ({"keep": ["W\ud800rt"]}, ValueError, "keep[0]"),
]


def test_bad_arguments_are_refused_naming_them():
    calls = [
        lambda **kw: textquirl.scramble("Hallo Welt", **kw),
        lambda **kw: textquirl.Scrambler(**kw).scramble("Hallo Welt"),
        lambda **kw: textquirl.scramble_many(["Hallo Welt"], **kw),
    ]
    for call in calls:
        for arguments, error, name in BAD_CALLS:
            with pytest.raises(error, match=re.escape(name)):
                call(**arguments)
    many = textquirl.scramble_many
    for arguments, error, name in [
        ({"texts": "Hallo Welt"}, TypeError, "texts"),
        ({"texts": ["a", None]}, TypeError, "texts[1]"),
        ({"texts": ["a", "b\udc00"]}, ValueError, "texts[1]"),
        ({"texts": ["a", "b"], "keys": [1]}, ValueError, "keys"),
        ({"texts": ["a"], "keys": [-1]}, ValueError, "keys[0]"),
        ({"texts": ["a"], "keys": [2**64]}, ValueError, "keys[0]"),
        ({"texts": ["a"], "keys": [1.0]}, TypeError, "keys[0]"),
        ({"texts": ["a"], "keys": ["\ud800"]}, ValueError, "keys[0]"),
        ({"texts": ["a"], "threads": 0}, ValueError, "threads"),
        ({"texts": ["a"], "threads": "2"}, TypeError, "threads"),
    ]:
        with pytest.raises(error, match=re.escape(name)):
            many(**arguments)
    for text, error in [(None, TypeError), (b"Hallo", TypeError), ("Hallo \udfff", ValueError)]:
        with pytest.raises(error, match="text"):
            textquirl.scramble(text)
        with pytest.raises(error, match="text"):
            textquirl.Scrambler().scramble(text)
    assert issubclass(textquirl.WordTooLongError, ValueError)
    # A refused text draws nothing: the scrambler goes on as a fresh one.
    scrambler = textquirl.Scrambler()
    with pytest.raises(ValueError):
        scrambler.scramble("Hallo Welt \ud800")
    assert scrambler.scramble("Hallo Welt, schöne Grüße") == textquirl.scramble("Hallo Welt, schöne Grüße")


def test_records_do_not_depend_on_batching_order_or_threads():
    rng = random.Random(1)
    words = "Hallo Welt Beispieltext Wortsalat Ärgernis Übermut größer 👋🏽 naïve Cafe\u0301 (Klammer) E-Mail".split()
    texts = [" ".join(rng.choices(words, k=rng.randrange(0, 30))) for _ in range(3000)]
    keys = [rng.choice([n, f"id-{n}"]) for n in rng.sample(range(10**12), len(texts))]
    whole = textquirl.scramble_many(texts, keys=keys, seed=99, threads=1)
    assert whole == textquirl.scramble_many(texts, keys=keys, seed=99, threads=7)
    assert whole == textquirl.scramble_many(iter(texts), keys=tuple(keys), seed=99)
    order = list(range(len(texts)))
    rng.shuffle(order)
    shuffled = textquirl.scramble_many([texts[i] for i in order], keys=[keys[i] for i in order], seed=99, threads=3)
    assert [shuffled[order.index(i)] for i in range(len(texts))] == whole
    batched = []
    for start in range(0, len(texts), 37):
        batched += textquirl.scramble_many(texts[start : start + 37], keys=keys[start : start + 37], seed=99)
    assert batched == whole
    # Each record is scrambled as a text of its own: the keyed generator only
    # changes which shuffle it gets.
    assert [len(r) for r in whole] == [len(textquirl.scramble(t)) for t in texts]
    assert textquirl.scramble_many([]) == []


def test_version_is_the_projects():
    cmake = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    assert textquirl.__version__ == re.search(r"project\([^)]*VERSION ([0-9.]+)", cmake).group(1)


def test_examples_of_the_readme_and_the_package_hold():
    readme = (ROOT / "README.md").read_text(encoding="utf-8")
    example = re.search(r"```pycon\n(.*?)```", readme, re.S).group(1)
    assert len([line for line in example.splitlines() if line.startswith(">>>")]) <= 5
    test = doctest.DocTestParser().get_doctest(example, {}, "README.md", "README.md", 0)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    assert runner.summarize(verbose=False).failed == 0
    assert test.examples
    package = doctest.testmod(textquirl)
    assert package.attempted and not package.failed


def test_stubs_name_the_modules_parameters():
    stubs = ast.parse((Path(textquirl._textquirl.__file__).parent / "_textquirl.pyi").read_text(encoding="utf-8"))
    functions = {node.name: node for node in stubs.body if isinstance(node, ast.FunctionDef)}
    scrambler = next(node for node in stubs.body if isinstance(node, ast.ClassDef) and node.name == "Scrambler")
    functions.update({f"Scrambler.{node.name}": node for node in scrambler.body if isinstance(node, ast.FunctionDef)})

    def stub_parameters(node):
        arguments = node.args
        return [a.arg for a in arguments.posonlyargs + arguments.args if a.arg != "self"], [a.arg for a in arguments.kwonlyargs]

    def runtime_parameters(function):
        parameters = list(inspect.signature(function).parameters.values())
        return (
            [p.name for p in parameters if p.kind in (p.POSITIONAL_ONLY, p.POSITIONAL_OR_KEYWORD) and p.name != "self"],
            [p.name for p in parameters if p.kind == p.KEYWORD_ONLY],
        )

    for name, function in [("scramble", textquirl.scramble), ("scramble_many", textquirl.scramble_many),
                           ("Scrambler.__init__", textquirl.Scrambler), ("Scrambler.scramble", textquirl.Scrambler.scramble)]:
        assert stub_parameters(functions[name]) == runtime_parameters(function), name
