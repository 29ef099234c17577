"""Times whole builds: vorlune-build to .phar and .zip against PHP's own
Phar::buildFromDirectory of the same compile folder, and checks that a
project of 10,000 actions builds to a .phar that PHP loads quickly."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "examples", "hello.vlk")
MAIN_SCRIPT = "\u0440h\u0440_m\u0430i\u043f_fil\u0435"

PHP_BUILD = (
    '$p = new Phar($argv[1]);'
    '$p->buildFromDirectory($argv[2]);'
    '$p->setSignatureAlgorithm(Phar::SHA256);'
)
PHP_ZIP_BUILD = (
    '$p = new PharData($argv[1], 0, null, Phar::ZIP);'
    '$p->buildFromDirectory($argv[2]);'
)
PHP_LOAD = r"""
namespace pocketmine\plugin {
    class Logger { public $n = 0; function info($m) { $this->n++; } }
    abstract class PluginBase { private $l; function getLogger() { return $this->l ??= new Logger(); } }
}
namespace {
    $p = new Phar($argv[1]);
    require 'phar://' . $argv[1] . '/src/Plugin/Main.php';
    $m = new Plugin\Main();
    $m->onEnable();
    echo $m->getLogger()->n, "\n";
}
"""


def timed(command, env, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, env=env, check=True, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times), times


def big_project(path, actions):
    lines = ['<?xml version="1.0" encoding="windows-1251"?>', "<plugin>",
             '<settings name="Big" creator="Bench" version="1.0.0" site="example.com" api="1.0.0" '
             'loading="POSTWORLD" main="Plugin\\Main"/>', "<phpscripts>", "<%s>" % MAIN_SCRIPT, "<ev_1>"]
    for i in range(actions):
        lines.append('<actn id="1" args="&#8291;:[Message number %d]&#8291;"/>' % i)
    lines += ["</ev_1>", "</%s>" % MAIN_SCRIPT, "</phpscripts>", "</plugin>"]
    with open(path, "wb") as f:
        f.write("\r\n".join(lines).encode("cp1251"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--runs", type=int, default=21)
    args = parser.parse_args()
    tool = os.path.join(os.path.abspath(args.build_dir), "vorlune-build")

    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, VORLUNE_HOME=os.path.join(work, "home"), XDG_CACHE_HOME=os.path.join(work, "cache"))
        os.makedirs(env["VORLUNE_HOME"])
        out = os.path.join(work, "out")

        phar_median, _ = timed([tool, EXAMPLE, out], env, args.runs)
        zip_median, _ = timed([tool, "--zip", EXAMPLE, out], env, args.runs)

        compile_dir = os.path.join(work, "compile")
        with zipfile.ZipFile(out + ".zip") as z:
            z.extractall(compile_dir)
        php_out = os.path.join(work, "php.phar")
        php_median, _ = timed(["php", "-d", "phar.readonly=0", "-r", PHP_BUILD, php_out, compile_dir], env, args.runs)
        php_zip_out = os.path.join(work, "php.zip")

        def php_zip():
            if os.path.exists(php_zip_out):
                os.remove(php_zip_out)
            subprocess.run(["php", "-d", "phar.readonly=0", "-r", PHP_ZIP_BUILD, php_zip_out, compile_dir],
                           env=env, check=True, stdout=subprocess.DEVNULL)

        php_zip_times = []
        for _ in range(args.runs):
            start = time.perf_counter()
            php_zip()
            php_zip_times.append(time.perf_counter() - start)
        php_zip_median = statistics.median(php_zip_times)

        big = os.path.join(work, "big.vlk")
        big_project(big, 10000)
        start = time.perf_counter()
        subprocess.run([tool, big, os.path.join(work, "big")], env=env, check=True, stdout=subprocess.DEVNULL)
        big_build = time.perf_counter() - start
        start = time.perf_counter()
        loaded = subprocess.run(["php", "-r", PHP_LOAD, os.path.join(work, "big.phar")], env=env, check=True,
                                capture_output=True, text=True).stdout.strip()
        big_load = time.perf_counter() - start
        big_size = os.path.getsize(os.path.join(work, "big.phar"))

    print("runs per figure: %d (medians of whole processes)" % args.runs)
    print("vorlune-build hello.vlk -> .phar : %7.1f ms" % (phar_median * 1000))
    print("vorlune-build hello.vlk -> .zip  : %7.1f ms" % (zip_median * 1000))
    print("php Phar::buildFromDirectory     : %7.1f ms" % (php_median * 1000))
    print("php PharData (zip) build         : %7.1f ms" % (php_zip_median * 1000))
    print("ratio php / vorlune .phar        : %7.2f x (target >= 3)" % (php_median / phar_median))
    print("ratio php / vorlune .zip         : %7.2f x" % (php_zip_median / zip_median))
    print("10,000 actions: build %.0f ms, .phar %d bytes, php load + onEnable %.0f ms (%s messages; target < 1000 ms)"
          % (big_build * 1000, big_size, big_load * 1000, loaded))
    return 0 if php_median / phar_median >= 3 and big_load < 1.0 and loaded == "10000" else 1


if __name__ == "__main__":
    sys.exit(main())
