#!/usr/bin/env python3
"""Scrambles the text column of a CSV data set on a Dask cluster.

Each row is a record keyed by its id column (integers or texts), so the
result is the same however the data is split into partitions and whichever
worker scrambles a partition: byte for byte what textquirl.scramble_many gives
for the whole column in one process.

    python3 examples/dask_corpus.py corpus.csv scrambled.csv
    python3 examples/dask_corpus.py corpus.csv scrambled.csv --text-column body --id-column doc_id \\
        --seed 7 --partitions 64 --scheduler scheduler:8786

Without --scheduler it starts a cluster of --workers local processes. With
one, every worker needs the package textquirl installed, and the input and
output paths must be the same on every machine (a shared file system).

The source may be a pattern of several files (corpus-*.csv). Dask cuts a
large file into blocks at line ends; if a text may hold a line break (a
quoted field over several lines), a cut could fall inside it: then give
--blocksize none, which reads each file as one partition, and split the
corpus into files of a size that fits a worker.
"""

import argparse
import contextlib

import dask.dataframe as dd
import pandas as pd
import textquirl
from dask.distributed import Client, LocalCluster


def read_options(text_column: str) -> dict:
    """pandas.read_csv arguments that keep every text a str (an empty field is "")."""
    return {"dtype": {text_column: str}, "keep_default_na": False}


def scramble_partition(frame: pd.DataFrame, text_column: str, id_column: str, seed: int, options: dict) -> pd.DataFrame:
    """The partition with its text column scrambled, each row keyed by its id."""
    scrambled = frame.copy()
    scrambled[text_column] = textquirl.scramble_many(
        frame[text_column].tolist(), keys=frame[id_column].tolist(), seed=seed, **options
    )
    return scrambled


def scramble_csv(source, target, *, text_column="text", id_column="id", seed=5489, partitions=None,
                 blocksize="default", **options) -> int:
    """Reads the CSV `source`, scrambles its text column on the current Dask
    client and writes the rows in their order to the one CSV `target`.
    Returns the number of partitions."""
    frame = dd.read_csv(source, blocksize=blocksize, **read_options(text_column))
    if partitions is not None:
        frame = frame.repartition(npartitions=partitions)
    scrambled = frame.map_partitions(
        scramble_partition, text_column, id_column, seed, options, meta=frame._meta
    )
    scrambled.to_csv(target, single_file=True, index=False)
    return scrambled.npartitions


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source", help="CSV file to read")
    parser.add_argument("target", help="CSV file to write")
    parser.add_argument("--text-column", default="text")
    parser.add_argument("--id-column", default="id")
    parser.add_argument("--seed", type=int, default=5489)
    parser.add_argument("--partitions", type=int, help="split the data into this many partitions")
    parser.add_argument("--blocksize", default="default",
                        help="bytes of a file per partition (e.g. 64MB), or none: one partition per file")
    parser.add_argument("--scheduler", help="address of a running cluster's scheduler, e.g. scheduler:8786")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes (without --scheduler)")
    parser.add_argument("--mode", default="classic")
    parser.add_argument("--min-length", type=int, default=4)
    parser.add_argument("--rate", type=float, default=1.0)
    parser.add_argument("--always-change", action="store_true")
    parser.add_argument("--keep", default="", help="words left as they are, separated by commas")
    args = parser.parse_args()
    options = {
        "mode": args.mode,
        "min_length": args.min_length,
        "rate": args.rate,
        "always_change": args.always_change,
        "keep": [word for word in args.keep.split(",") if word],
    }
    with contextlib.ExitStack() as stack:
        if args.scheduler:
            stack.enter_context(Client(args.scheduler))
        else:
            cluster = stack.enter_context(
                LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None)
            )
            stack.enter_context(Client(cluster))
        partitions = scramble_csv(
            args.source, args.target, text_column=args.text_column, id_column=args.id_column,
            seed=args.seed, partitions=args.partitions,
            blocksize=None if args.blocksize == "none" else args.blocksize, **options,
        )
    print(f"{args.target}: {partitions} partition(s) scrambled")


if __name__ == "__main__":
    main()
