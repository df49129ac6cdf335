#!/usr/bin/python3
"""The show's page in headless Chromium, driven through chromium-driver:

    tests/web/web_test.py PAGE_DIR NATIVE_BUILD_DIR             the checks below
    tests/web/web_test.py PAGE_DIR NATIVE_BUILD_DIR --manifest  only every frame against the
                                                                show's manifest
    tests/web/web_test.py PAGE_DIR NATIVE_BUILD_DIR --bench     the scene work per frame, measured
                                                                in the page and natively
    tests/web/web_test.py PAGE_DIR NATIVE_BUILD_DIR --bench --real-time   the same as the show
                                                                plays, with its late frames

PAGE_DIR is the built page (build/web); NATIVE_BUILD_DIR a native build whose demo-render and
data/ give the frames the page must equal. The page is served from a local web server on a free
port. Prints one line per check and ends with 1 if any failed.

The checks: the loading bar on a slowed line; a visitor's minute of real-time play (pictures,
the AudioWorklet's music in step with the clock and never dry, a screenshot, Escape, a console
without warnings); the page in a browser without AudioWorklet and DecompressionStream; the
failures the page reports; and, in Chromium's emulation of a phone, the fit of the picture and
the taps. The last checks play the whole show on the virtual clock with the page's &manifest
setting: the program hashes every frame it presents and the music, the page hands over the
lines, and the native `demo-render --compare` holds them against tests/golden/show.frames; its
report is printed. Music that differs is reported there but is not a failure, as for the Windows
build. The same run hashes the canvas at a few frames, against the native program's pictures.

--bench plays the show on the virtual clock with the page's &bench setting and prints, per part
of the show, the median and worst work per frame in the page and natively, and which frame was
the worst; with --real-time it plays the three minutes at the show's own pace and also counts
the frames that came late.
"""
import functools
import http.server
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# One frame of each scene, and one across the change from particles to object (frame numbers
# at 60 frames per second, from the first frame of the show).
HASH_FRAMES = [600, 2101, 2820, 4200, 5100, 6000, 7680, 9000]

GOLDEN = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'golden', 'show.frames')


class Checks:
    def __init__(self):
        self.failures = 0

    def check(self, description, passed, detail=''):
        print(('ok   - ' if passed else 'FAIL - ') + description +
              (' (' + detail + ')' if detail and not passed else ''), flush=True)
        if not passed:
            self.failures += 1


def serve(folder):
    """A web server for the folder on a free port of this machine; returns its address."""
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return 'http://127.0.0.1:%d/' % server.server_address[1]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def browser(download_dir, phone=False):
    """Headless Chromium; with `phone`, in its emulation of a phone's touch screen, 390 x 844."""
    options = webdriver.ChromeOptions()
    if phone:
        options.add_experimental_option('mobileEmulation', {
            'deviceMetrics': {'width': 390, 'height': 844, 'pixelRatio': 3, 'touch': True},
            'userAgent': 'Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 '
                         '(KHTML, like Gecko) Chrome/156.0 Mobile Safari/537.36'})
    options.binary_location = '/usr/bin/chromium'
    for argument in ['--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--disable-background-networking', '--disable-component-update',
                     '--disable-sync', '--no-first-run', '--disable-quic',
                     '--autoplay-policy=no-user-gesture-required', '--window-size=1400,1000']:
        options.add_argument(argument)
    options.add_experimental_option('prefs', {
        'download.default_directory': download_dir,
        'download.prompt_for_download': False,
        'profile.default_content_setting_values.automatic_downloads': 1,
    })
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
    driver.set_script_timeout(30)
    return driver


def wait_until(condition, seconds, step=0.2):
    end = time.time() + seconds
    while time.time() < end:
        value = condition()
        if value:
            return value
        time.sleep(step)
    return condition()


# The frame area of the page's canvas, copied into a canvas made for reading back (the page's
# own is not, outside its hash check, and Chromium warns when such a canvas is read often).
READ_FRAME = """
    const copy = new OffscreenCanvas(512, 256).getContext('2d', { willReadFrequently: true });
    copy.drawImage(document.getElementById('canvas'), -64, -112);
    const data = copy.getImageData(0, 0, 512, 256).data;"""


def canvas_sum(driver):
    """Sum of the red, green and blue bytes of the frame area of the canvas."""
    return driver.execute_script(READ_FRAME + """
        let sum = 0;
        for (let i = 0; i < data.length; i += 4) sum += data[i] + data[i + 1] + data[i + 2];
        return sum;""")


def canvas_pixels(driver):
    return driver.execute_script(READ_FRAME + """
        return Array.from(data.filter((_, i) => i % 64 == 0));""")


def start_line(driver):
    return driver.find_element('id', 'start').text


def escape_ends_show(driver, checks, what):
    """Presses Escape and checks that the page says the show ended with exit code 0."""
    driver.find_element('tag name', 'body').send_keys('\ue00c')  # Escape
    line = wait_until(lambda: end_line(driver), 10) or ''
    checks.check(what, line.startswith('Exit code 0'), repr(line))


def played_in_step(driver, checks, seconds, what):
    """Plays `seconds` and checks that the music played follows the clock: a tenth of a second
    per minute, and one buffer of 2048 frames for where it was read. Returns the underruns."""
    def state():
        return driver.execute_script('const a = Module.audio; return [a.framesPlayed, '
                                     'performance.now(), a.context.sampleRate, a.underruns];')
    played1, now1, rate, _ = state()
    time.sleep(seconds)
    played2, now2, _, underruns = state()
    elapsed = (now2 - now1) / 1000
    played = (played2 - played1) / rate
    checks.check(what, abs(played - elapsed) <= 0.1 * elapsed / 60 + 2048 / rate,
                 'played %.3f s in %.3f s' % (played, elapsed))
    return underruns


def end_line(driver):
    return driver.execute_script('return Module.endLine || null;')


def console_errors(driver, levels=('SEVERE',)):
    return [entry['message'] for entry in driver.get_log('browser') if entry['level'] in levels]


def frame_hash(bmp_path):
    """FNV-1a, 32 bits, over the blue, green and red bytes of the 512 x 256 frame at (64, 112)
    of a 640 x 480 display picture written by demo-render, row by row: as the page hashes."""
    with open(bmp_path, 'rb') as f:
        data = f.read()
    offset = int.from_bytes(data[10:14], 'little')
    height = int.from_bytes(data[22:26], 'little', signed=True)
    row_bytes = 640 * 3
    value = 0x811c9dc5
    for y in range(112, 112 + 256):
        row = y if height < 0 else 479 - y  # top row first when the height is negative
        start = offset + row * row_bytes + 64 * 3
        for byte in data[start:start + 512 * 3]:
            value = ((value ^ byte) * 16777619) & 0xFFFFFFFF
    return '%08x' % value


def native_hashes(native_build, frames):
    hashes = {}
    work = tempfile.mkdtemp(prefix='web-test-native-')
    try:
        os.symlink(os.path.join(native_build, 'data'), os.path.join(work, 'data'))
        for frame in frames:
            out = os.path.join(work, 'frames-%d' % frame)
            subprocess.run([os.path.join(native_build, 'demo-render'), '--quiet', '--frames', out,
                            '--from', repr(frame / 60), '--to', repr((frame + 0.5) / 60)],
                           cwd=work, check=True, stdout=subprocess.DEVNULL)
            hashes[frame] = frame_hash(os.path.join(out, 'frame_000000.bmp'))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return hashes


def visitor_checks(driver, address, native_build, downloads, checks):
    """A visitor's use of the page, its failures, and a few frames of the canvas, then every
    frame against the manifest."""
    # A visitor on a slow line: the bar counts the bytes of the compressed downloads.
    driver.execute_cdp_cmd('Network.enable', {})
    driver.execute_cdp_cmd('Network.emulateNetworkConditions', {
        'offline': False, 'latency': 20, 'downloadThroughput': 800000, 'uploadThroughput': 800000})
    driver.get(address)
    lines = set()
    ready = wait_until(lambda: lines.add(start_line(driver)) or 'click' in start_line(driver),
                       60, 0.05)
    driver.execute_cdp_cmd('Network.emulateNetworkConditions', {
        'offline': False, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1})
    checks.check('the page loads and asks for a click', bool(ready))
    total = driver.execute_script(
        'return Object.values(PAGE_FILES).reduce((sum, size) => sum + size.gzip, 0);')
    counted = [line for line in lines if re.match(r'loading… \d+\.\d MB of %.1f MB$' % (
        total / 1e6), line) and not line.startswith('loading… 0.0 ')]
    checks.check('while it loads, the page says how many of the %.1f MB have come' % (total / 1e6),
                 bool(counted), repr(sorted(lines)))
    transferred = driver.execute_script(
        "return performance.getEntriesByType('navigation').concat(performance.getEntriesByType("
        "'resource')).reduce((sum, entry) => sum + entry.transferSize, 0);")
    print('     the page and its downloads: %d bytes over the network' % transferred)

    # A click, pictures, a minute of music across the start of the second scene (at 35 s), a
    # screenshot, Escape; and nothing on the console all along.
    driver.find_element('id', 'panel').click()
    checks.check('a picture appears on the canvas', wait_until(lambda: canvas_sum(driver) > 0, 30))
    first = canvas_pixels(driver)
    time.sleep(1.5)
    checks.check('the picture changes over time', canvas_pixels(driver) != first)
    checks.check('the music plays through an AudioWorklet',
                 driver.execute_script('return Module.audio.kind;') == 'AudioWorklet')
    underruns = played_in_step(driver, checks, 60, 'the music plays in step with the clock '
                               'for a minute, across a scene start')
    checks.check('the music never ran dry', underruns == 0, '%d underruns' % underruns)

    driver.find_element('tag name', 'body').send_keys('\ue007')  # Return
    grab = os.path.join(downloads, 'grab_1.bmp')
    checks.check('Return downloads grab_1.bmp of 393,274 bytes',
                 wait_until(lambda: os.path.exists(grab) and
                            os.path.getsize(grab) == 393274, 15))
    escape_ends_show(driver, checks, 'Escape ends the show with exit code 0')
    said = console_errors(driver, ('SEVERE', 'WARNING'))
    checks.check('no warning or error on the console', not said, '; '.join(said))

    # A browser without AudioWorklet or DecompressionStream: the plain downloads, and a
    # ScriptProcessorNode for the music.
    older = driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {
        'source': 'delete BaseAudioContext.prototype.audioWorklet; '
                  'delete window.DecompressionStream;'})
    driver.get(address + '?autostart')
    checks.check('without them the page plays: plain downloads, music from a script processor',
                 wait_until(lambda: driver.execute_script(
                     'return !unpacks && Module.audio && Module.audio.kind;') == 'ScriptProcessor',
                     60))
    played_in_step(driver, checks, 5, 'the script processor plays in step with the clock')
    escape_ends_show(driver, checks, 'and Escape ends it with exit code 0')
    driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', older)
    console_errors(driver)  # its deprecation warning is expected

    # A browser without Web Audio: the show without sound.
    silent = driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {
        'source': 'delete window.AudioContext; delete window.webkitAudioContext;'})
    driver.get(address + '?autostart')
    checks.check('without Web Audio the show plays, silent',
                 wait_until(lambda: canvas_sum(driver) > 0, 30))
    time.sleep(1)
    escape_ends_show(driver, checks, 'and Escape ends it with exit code 0')
    driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument', silent)
    console_errors(driver)  # the program says on the console that it has no sound

    # Failures show on the page.
    for setting, code, text in [
            ('remove=data/mirel.xm', 1,
             'MIDAS error: Unable to read module file data/mirel.xm: No such file or directory'),
            ('cut=data/mirel.xm', 1, 'MIDAS error: Invalid module file data/mirel.xm: '),
            ('remove=data/particules/forme.bmp', 9999, 'a fatal error')]:
        driver.get(address + '?autostart&' + setting)
        line = wait_until(lambda: end_line(driver), 60) or ''
        checks.check('with %s the page says exit code %d' % (setting, code),
                     line.startswith('Exit code %d' % code) and text in line, repr(line))

    # On the virtual clock: the canvas shows the native program's pixels at a few frames, and
    # the program's own hashes of every frame equal the manifest's.
    manifest_check(driver, address, native_build, checks, canvas_frames=HASH_FRAMES)


def manifest_check(driver, address, native_build, checks, canvas_frames=()):
    """The whole show in the page on the virtual clock, every frame and the music hashed by the
    program, compared with the show's manifest by the native demo-render; and the canvas at
    `canvas_frames` compared with the native program's pictures of those frames."""
    started = time.time()
    driver.get(address + '?virtual-clock&autostart&manifest' +
               ('&hash-frames=' + ','.join(map(str, canvas_frames)) if canvas_frames else ''))
    lines = wait_until(lambda: driver.execute_script('return Module.manifest || null;'), 600, 0.5)
    seconds = time.time() - started
    if not lines:
        checks.check('the page hands over the manifest of the whole show', False,
                     repr(end_line(driver)))
        return
    work = tempfile.mkdtemp(prefix='web-test-manifest-')
    try:
        candidate = os.path.join(work, 'web.frames')
        with open(candidate, 'w') as f:
            f.write('# Every frame of the show and its music, as the web page computed them.\n')
            f.write(lines)
        result = subprocess.run([os.path.join(native_build, 'demo-render'), '--compare', GOLDEN,
                                 candidate], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(result.stdout, end='')
    print('the whole show in the page with every frame hashed: %.1f s' % seconds)
    checks.check('every frame of the page equals the manifest (demo-render --compare)',
                 result.returncode == 0, 'exit code %d' % result.returncode)
    line = end_line(driver) or ''
    checks.check('the show ends with exit code 0', line.startswith('Exit code 0'), repr(line))
    if canvas_frames:
        got = driver.execute_script('return Module.frameHashes;') or {}
        expected = native_hashes(native_build, canvas_frames)
        for frame in canvas_frames:
            checks.check('the canvas at frame %d equals the native picture' % frame,
                         got.get(str(frame)) == expected[frame],
                         '%s, native %s' % (got.get(str(frame)), expected[frame]))


def frame_wait_checks(page_dir, checks):
    """The build's check of the frame wait's list (scripts/check-frame-wait.py) against the
    built program: it passes the project's list and refuses one that lacks a function on the
    way to the wait or names a function the program does not have."""
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
    script = os.path.join(root, 'scripts', 'check-frame-wait.py')
    listed = os.path.join(root, 'src', 'platform', 'web', 'asyncify.txt')
    symbols = os.path.join(page_dir, '..', 'web-build', 'demo.js.symbols')
    if not os.path.exists(symbols):
        print('     (no symbol map beside the page: the frame-wait list is not tried)')
        return
    with open(listed) as f:
        entries = [line.strip() for line in f if line.strip()]
    work = tempfile.mkdtemp(prefix='web-test-frame-wait-')
    try:
        for what, lines, code, words in [
                ('the project\'s list', entries, 0, ''),
                ('a list without PresentFrame', [e for e in entries if 'PresentFrame' not in e],
                 1, 'add it to the list'),
                ('a list with a name the program lacks', entries + ['NoSuchFunction()'], 1,
                 '"NoSuchFunction()" names no function')]:
            path = os.path.join(work, 'list.txt')
            with open(path, 'w') as f:
                f.write('\n'.join(lines) + '\n')
            wasm = os.path.join(page_dir, 'demo.wasm')
            result = subprocess.run(['/usr/bin/python3', script, wasm, symbols, path,
                                     'WebWaitForFrame'],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            checks.check('the frame-wait check on %s ends with %d' % (what, code),
                         result.returncode == code and words in result.stdout, result.stdout)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def phone_checks(address, downloads, checks):
    """The page on a phone-sized touch screen: it fits, a tap starts the show, and its buttons
    take a screenshot and end it."""
    driver = browser(downloads, phone=True)
    try:
        driver.get(address)
        ready = wait_until(lambda: start_line(driver) == 'tap to start', 60)
        checks.check('on a phone the page asks for a tap', bool(ready), repr(start_line(driver)))
        width, canvas_width, page_width = driver.execute_script(
            "return [innerWidth, document.getElementById('canvas').getBoundingClientRect().width,"
            " document.documentElement.scrollWidth];")
        checks.check('the picture fits the width of the phone, and nothing is wider',
                     0.95 * width <= canvas_width <= width and page_width <= width,
                     'window %d, picture %.0f, page %d' % (width, canvas_width, page_width))

        def tap(element_id):
            box = driver.execute_script(
                "const box = document.getElementById(arguments[0]).getBoundingClientRect();"
                "return [box.x + box.width / 2, box.y + box.height / 2];", element_id)
            point = {'x': box[0], 'y': box[1]}
            driver.execute_cdp_cmd('Input.dispatchTouchEvent',
                                   {'type': 'touchStart', 'touchPoints': [point]})
            driver.execute_cdp_cmd('Input.dispatchTouchEvent',
                                   {'type': 'touchEnd', 'touchPoints': []})

        tap('panel')
        checks.check('a tap starts the show', wait_until(lambda: canvas_sum(driver) > 0, 30))
        tap('shoot')
        grab = os.path.join(downloads, 'grab_1.bmp')
        checks.check('the screenshot button downloads grab_1.bmp',
                     wait_until(lambda: os.path.exists(grab) and
                                os.path.getsize(grab) == 393274, 15))
        tap('stop')
        line = wait_until(lambda: end_line(driver), 10) or ''
        checks.check('the end button ends the show with exit code 0',
                     line.startswith('Exit code 0'), repr(line))
    finally:
        driver.quit()


def native_bench(native_build):
    """The native `demo-render --bench` table: (scene, frames, median ms, worst ms, worst frame)
    per part of the show. Its frame counts, at the same 60 frames per second as the page's
    virtual clock, are where the scenes begin and end: the page's program reports only frames."""
    work = tempfile.mkdtemp(prefix='web-test-bench-')
    try:
        os.symlink(os.path.join(native_build, 'data'), os.path.join(work, 'data'))
        table = subprocess.run([os.path.join(native_build, 'demo-render'), '--bench', '--quiet'],
                               cwd=work, check=True, stdout=subprocess.PIPE, text=True).stdout
    finally:
        shutil.rmtree(work, ignore_errors=True)
    parts = []
    for line in table.splitlines()[1:]:  # after the header, until the whole show's line
        if line.startswith('whole show'):
            break
        name, frames, median, worst, frame = re.match(
            r'^(.*?)\s+(\d+)\s+([\d.]+)\s+([\d.]+)\s+(\d+)', line).groups()
        parts.append((name, int(frames), float(median), float(worst), int(frame)))
    return parts


def bench_table(page_milliseconds, parts, wakes=None):
    """The page's work per frame (frame 1 first) per part of the show, beside the native
    program's, each with its worst frame (its number in the show, * when it is the part's
    first): the parts are the native table's frame counts one after the other. With `wakes` (a
    real-time run: when each frame's wait ended, in milliseconds from frame 0's) a frame's
    number is its time in the show at 60 frames a second, and each part also counts its late
    frames: those that came more than 25 ms after the one before, a refresh of 60 Hz missed."""
    def number(n):
        return n if wakes is None else round(wakes[n] * 60 / 1000)

    lines = ['%-22s %7s %28s %28s%s' % ('scene work per frame', 'frames',
                                         'browser median, worst (frame)',
                                         'native median, worst (frame)',
                                         '' if wakes is None else '   late')]
    first = 0
    count = len(page_milliseconds) + 1 if wakes is None else min(len(page_milliseconds) + 1,
                                                                 len(wakes))
    for index, (name, frames, native_median, native_worst, native_frame) in enumerate(parts):
        end = first + frames if index < len(parts) - 1 else 1 << 62  # the last takes the rest
        # Frame n of the page took page_milliseconds[n - 1]; frame 0 has no time.
        numbered = [(page_milliseconds[n - 1], number(n), n) for n in range(1, count)
                    if first <= number(n) < end]
        part_first = first
        first = end
        if not numbered:
            continue
        times = sorted(time for time, _, _ in numbered)
        worst, frame, _ = max(numbered)
        late = '' if wakes is None else ' %6d' % sum(
            wakes[n] - wakes[n - 1] > 25 for _, _, n in numbered)
        lines.append('%-22s %7d %8.3f %9.3f %-9s %8.3f %9.3f %-9s%s' % (
            name, len(times), times[len(times) // 2], worst,
            '%d%s' % (frame, '*' if frame == part_first else ''), native_median, native_worst,
            '%d%s' % (native_frame, '*' if native_frame == part_first else ''), late))
    lines.append('(frame numbers from 0 at the start of the show; * the first frame of its part)')
    return '\n'.join(lines)


def main():
    page_dir, native_build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    bench = '--bench' in sys.argv[3:]
    manifest_only = '--manifest' in sys.argv[3:]
    address = serve(page_dir)
    downloads = tempfile.mkdtemp(prefix='web-test-downloads-')
    driver = browser(downloads)
    checks = Checks()
    try:
        if bench:
            parts = native_bench(native_build)  # first, so that the two do not share the CPU
            real_time = '--real-time' in sys.argv[3:]
            driver.get(address + ('?bench&autostart' if real_time else
                                  '?virtual-clock&bench&autostart'))
            times = wait_until(lambda: driver.execute_script('return Module.benchFrames;'), 900, 1)
            wakes = driver.execute_script('return Module.benchWakes;') if real_time else None
            print(bench_table(times, parts, wakes) if times else
                  'no report: the show did not end in time')
            return 0 if times else 1
        if manifest_only:
            manifest_check(driver, address, native_build, checks)
        else:
            visitor_checks(driver, address, native_build, downloads, checks)
            shutil.rmtree(downloads, ignore_errors=True)
            os.makedirs(downloads)
            phone_checks(address, downloads, checks)
            frame_wait_checks(page_dir, checks)
    finally:
        driver.quit()
        shutil.rmtree(downloads, ignore_errors=True)

    if checks.failures:
        print('%d check(s) failed' % checks.failures)
        return 1
    print('All checks passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
