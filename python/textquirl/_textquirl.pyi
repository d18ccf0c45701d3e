from typing import Iterable, Literal, Optional, Union

__version__: str

Mode = Literal["classic", "careful"]

class WordTooLongError(ValueError):
    """A word beyond the engine's limits (more than 2**32 - 1 characters to shuffle)."""

def scramble(
    text: str,
    *,
    seed: int = ...,
    mode: Mode = ...,
    min_length: int = ...,
    rate: float = ...,
    always_change: bool = ...,
    keep: Iterable[str] = ...,
) -> str:
    """Scrambles text with a fresh generator started from seed (default 5489)."""

def scramble_many(
    texts: Iterable[str],
    *,
    keys: Optional[Iterable[Union[int, str]]] = ...,
    seed: int = ...,
    threads: Optional[int] = ...,
    mode: Mode = ...,
    min_length: int = ...,
    rate: float = ...,
    always_change: bool = ...,
    keep: Iterable[str] = ...,
) -> list[str]:
    """Scrambles each text as a record keyed by keys (default 1, 2, 3, ...)."""

class Scrambler:
    """One generator across calls: the n-th call gives the window's n-th press."""

    def __init__(
        self,
        *,
        seed: int = ...,
        mode: Mode = ...,
        min_length: int = ...,
        rate: float = ...,
        always_change: bool = ...,
        keep: Iterable[str] = ...,
    ) -> None: ...
    def scramble(self, text: str) -> str: ...
