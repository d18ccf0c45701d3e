"""examples/dask_corpus.py on a cluster of two worker processes gives, with
one partition and with seven, the bytes of scramble_many in one process."""

import csv
import random
import subprocess
import sys

import pandas as pd
import textquirl
from conftest import ROOT
from dask.distributed import LocalCluster


def test_dask_example_gives_the_one_process_result(tmp_path):
    rng = random.Random(3)
    words = "Hallo, Welt! Beispieltext Wortsalat Ärgernis; \"Zitat\" 👋🏽 naïve\nzweite Zeile".split(" ")
    source = tmp_path / "corpus.csv"
    with open(source, "w", newline="", encoding="utf-8") as file:
        writer = csv.writer(file)
        writer.writerow(["id", "text", "lang"])
        for record_id in rng.sample(range(10**9), 300):
            writer.writerow([record_id, " ".join(rng.choices(words, k=rng.randrange(0, 12))), "de"])

    frame = pd.read_csv(source, dtype={"text": str}, keep_default_na=False)
    frame["text"] = textquirl.scramble_many(frame["text"].tolist(), keys=frame["id"].tolist(), seed=11, rate=0.75)
    expected = frame.to_csv(index=False).encode()

    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        for partitions in (1, 7):
            target = tmp_path / f"scrambled-{partitions}.csv"
            done = subprocess.run(
                [sys.executable, ROOT / "examples" / "dask_corpus.py", source, target, "--seed", "11", "--rate", "0.75",
                 "--partitions", str(partitions), "--scheduler", cluster.scheduler_address],
                capture_output=True, text=True, timeout=120, check=False,
            )
            assert done.returncode == 0, done.stderr
            assert done.stdout.strip() == f"{target}: {partitions} partition(s) scrambled"
            assert target.read_bytes() == expected
