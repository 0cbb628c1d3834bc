"""A sample of the damage sweep (damage_sweep.py runs all of it): every
change of every archive-header byte and a random sample of the script-block
changes, each run with `kova run /a` (the ASan build) and read with
`kova inspect`; then, for each outcome seen, one of its variants under Wine,
which must end the same way and write nothing the undamaged installer does
not."""
import random
import shutil

import pytest

from damage_sweep import ARGS, TARGET, box_verdict, build_fixture, regions, sweep, summary, variants
from installs import WineHost
from kovatest import BUILD, kova_path

SCRIPT_SAMPLE = 150
WINE_PER_OUTCOME = 1


@pytest.fixture(scope="module")
def swept(tmp_path_factory):
    work = tmp_path_factory.mktemp("sweep")
    setup = build_fixture(work)
    data = setup.read_bytes()
    every = variants(data)
    header = [v for v in every if v.region == "header"]
    script = random.Random(20240501).sample([v for v in every if v.region == "script"], SCRIPT_SAMPLE)
    outcomes = sweep(kova_path(), setup, header + script, work)
    return data, outcomes


def test_every_variant_ends_cleanly_in_the_sandbox_and_in_inspect(swept):
    data, outcomes = swept
    (_, _, header_length), _ = regions(data)
    assert sum(o.variant.region == "header" for o in outcomes) >= 8 * header_length
    assert not [o for o in outcomes if o.problems], summary(outcomes)
    # The sample reaches well past the first check.
    verdicts = {o.verdict for o in outcomes}
    assert {"installed", "code 20", "code 25", "code 47"} <= verdicts, summary(outcomes)


def files_under(folder):
    return {str(p.relative_to(folder)).lower(): (b"" if p.name.lower() == "install.log" else p.read_bytes())
            for p in sorted(folder.rglob("*")) if p.is_file()} if folder.exists() else {}


def test_wine_ends_each_outcome_the_same_way(wine, swept, tmp_path):
    data, outcomes = swept
    host = WineHost(wine, BUILD / "e2e" / "logs")
    folder = host.host_path(TARGET)
    baseline = None
    picked = {}
    for outcome in outcomes:
        picked.setdefault(outcome.verdict, [])
        if len(picked[outcome.verdict]) < WINE_PER_OUTCOME:
            picked[outcome.verdict].append(outcome)
    setup = tmp_path / "setup.exe"
    try:
        shutil.rmtree(folder, ignore_errors=True)
        setup.write_bytes(data)
        run = wine.run(setup, ARGS)
        assert run.boxes == [], run.log
        baseline = files_under(folder)
        assert len(baseline) == 4, baseline
        for verdict, chosen in sorted(picked.items()):
            for outcome in chosen:
                shutil.rmtree(folder, ignore_errors=True)
                setup.write_bytes(outcome.variant.apply(data))
                run = wine.run(setup, ARGS)
                assert run.exit_code == 1, (outcome.variant, run.log)
                if verdict == "installed":
                    assert run.boxes == [], (outcome.variant, run.log)
                else:
                    assert [(b.caption, box_verdict(b.text)) for b in run.boxes] == [("FATAL ERROR", verdict)], \
                        (outcome.variant, run.log)
                written = files_under(folder)
                assert all(baseline.get(name) == content for name, content in written.items()), outcome.variant
                if verdict == "installed":
                    assert written == baseline, outcome.variant
        # Shown with pytest -s: what ran under Wine.
        print(f"\nunder Wine: {sum(map(len, picked.values()))} variants: "
              + ", ".join(f"{o.variant} -> {v}" for v, chosen in sorted(picked.items()) for o in chosen))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
