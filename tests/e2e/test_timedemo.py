"""Timedemo end-to-end: the measuring run must keep working. A short run
in a 600x400 window prints its closing line with the frames asked for and
writes the pictures asked for; a second run draws the very same pictures
(the fixed step makes every run alike, clouds and water included); a run
without an eye path to replay says why and fails.

  KELVARIN_BUILD=build python3 tests/e2e/test_timedemo.py
"""
import os, sys, unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import harness  # noqa: E402
import timedemo  # noqa: E402

PATHS = harness.default_paths()
FRAMES = 24
SHOTS = (12, 24)


def colours(picture, step=7):
    """Distinct colours among sampled pixels of a (w, h, rgb) picture."""
    w, h, rgb = picture
    return {bytes(rgb[i:i + 3]) for i in range(0, w * h * 3, 3 * step)}


class Timedemo(unittest.TestCase):
    def run_demo(self):
        return timedemo.run_timedemo(PATHS.binary, PATHS.data, timedemo.DEFAULT_SEED, FRAMES, True, SHOTS,
                                     timeout=120)

    def test_closing_line_pictures_and_repeatability(self):
        first = self.run_demo()
        self.assertEqual(first["frames"], FRAMES, first["output"])
        self.assertEqual(first["size"], (600, 400))
        self.assertGreater(first["seconds"], 0.0)
        self.assertAlmostEqual(first["fps"], first["frames"] / first["seconds"], delta=0.02 * first["fps"])
        for s in SHOTS:
            w, h, rgb = first["shots"][s]
            self.assertEqual((w, h), (600, 400))
            # A drawn island (sky, sea, land), not a blank or one-colour frame.
            self.assertGreater(len(colours(first["shots"][s])), 200, "frame %d looks empty" % s)
        self.assertNotEqual(first["shots"][SHOTS[0]][2], first["shots"][SHOTS[1]][2],
                            "the eye path does not move the view")

        second = self.run_demo()
        for s in SHOTS:
            mad, share = timedemo.picture_difference(first["shots"][s], second["shots"][s], 0)
            self.assertEqual(share, 0.0, "frame %d differs between two runs (mean %.3f)" % (s, mad))

    def test_no_path_to_replay(self):
        with harness.Xvfb(*timedemo.SCREEN) as x, harness.NetNamespace(tag="timedemo") as ns, \
                harness.workdir(PATHS.data) as d:
            with open(os.path.join(d, "path.dat"), "wb"):
                pass
            g = harness.Game(PATHS.binary, timedemo.timedemo_args(1, 10, True), ns=ns, display=x.display, cwd=d)
            status = g.wait(60)
            if status is None:
                g.kill()
            self.assertNotIn(status, (None, 0), g.dump())
            self.assertIn("timedemo: path.dat holds no eye record to replay", g.output(), g.dump())


if __name__ == "__main__":
    harness.main(PATHS)
