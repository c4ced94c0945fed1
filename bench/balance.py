#!/usr/bin/env python3
"""The computer players' balance: whole battles with the battle runner on
many islands, per pairing of levels the attackers' win rate, the median
game length and the draws, and how fast a battle runs against its game
time. Each run goes inside a private network namespace made by the test
harness (needs root), though a battle sends nothing.

    bench/balance.py [--build DIR] [--seeds N] [--first SEED] [--minutes N]
                     [--pairings normal:normal,hard:easy,easy:hard] [--jobs N]

prints a Markdown table (one row a pairing) and one line a battle on
standard error.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import harness  # noqa: E402


def battle(binary, data, seed, attackers, defenders, minutes):
    with harness.NetNamespace(tag="bal") as ns, harness.workdir(data) as d:
        env = {"PATH": "/usr/bin:/bin", "HOME": d, "XDG_DATA_HOME": os.path.join(d, ".share"),
               "XDG_CONFIG_HOME": os.path.join(d, ".config")}
        args = ["ip", "netns", "exec", ns.name, binary, "--battle", str(seed), "--attackers", attackers,
                "--defenders", defenders, "--minutes", str(minutes), "--json"]
        out = subprocess.run(args, cwd=d, env=env, capture_output=True, text=True, timeout=3600)
        if out.returncode != 0:
            raise RuntimeError("battle %d failed: %s" % (seed, out.stderr[-2000:]))
        return json.loads(out.stdout.strip().splitlines()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--seeds", type=int, default=20)
    ap.add_argument("--first", type=int, default=4001)
    ap.add_argument("--minutes", type=float, default=30.0)
    ap.add_argument("--pairings", default="normal:normal,hard:easy,easy:hard")
    ap.add_argument("--jobs", type=int, default=2)
    a = ap.parse_args()
    binary, data = os.path.join(a.build, "kelvarin"), os.path.join(a.build, "data")
    seeds = list(range(a.first, a.first + a.seeds))
    rows = []
    for pairing in a.pairings.split(","):
        att, dfd = pairing.split(":")
        with ThreadPoolExecutor(max_workers=a.jobs) as pool:
            results = list(pool.map(lambda s: battle(binary, data, s, att, dfd, a.minutes), seeds))
        for r in results:
            sys.stderr.write("seed %d %s vs %s: %s after %.0f s, lost %d/%d and %d/%d, %.1f s wall\n" % (
                r["seed"], att, dfd, r["winner"], r["seconds"], r["attackers_lost"], r["attackers_units"],
                r["defenders_lost"], r["defenders_units"], r["wall_seconds"]))
        wins = sum(1 for r in results if r["winner"] == "attackers")
        draws = sum(1 for r in results if r["winner"] == "none")
        decided = [r["seconds"] for r in results if r["winner"] != "none"]
        speed = sum(r["seconds"] for r in results) / max(1e-9, sum(r["wall_seconds"] for r in results))
        rows.append((att, dfd, len(results), wins, len(results) - wins - draws, draws,
                     statistics.median(decided) / 60.0 if decided else float("nan"), speed))
    print("| attackers | defenders | battles | attackers won | defenders won | draws | median length (min) "
          "| game time per wall second |")
    print("|---|---|---|---|---|---|---|---|")
    for att, dfd, n, wins, losses, draws, median, speed in rows:
        print("| %s | %s | %d | %d (%.0f %%) | %d | %d | %.1f | %.0f |" % (
            att, dfd, n, wins, 100.0 * wins / n, losses, draws, median, speed))


if __name__ == "__main__":
    main()
