"""Textquirl: readable jumbled letters.

In every word of four or more characters the first and the last character
stay and the ones between are shuffled; punctuation is held apart, runs of
spaces shrink to one, line breaks stay. The results are byte for byte those
of the Textquirl filter ``textquirl-cli`` for the same text, seed and options.

>>> import textquirl
>>> textquirl.scramble("Hallo, Welt!") == textquirl.Scrambler().scramble("Hallo, Welt!")
True
"""

from ._textquirl import Scrambler, WordTooLongError, __version__, scramble, scramble_many

__all__ = ["Scrambler", "WordTooLongError", "__version__", "scramble", "scramble_many"]
